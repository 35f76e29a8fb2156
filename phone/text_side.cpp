#include "phonesim.h"

namespace phonesim {

TextAnswer Simulator::HandleText(std::string_view command, int slot) {
    textLog_.push_back({std::string(command), "ERROR\r\n", true, slot});
    return {true, "ERROR\r\n"};
}

} // namespace phonesim
