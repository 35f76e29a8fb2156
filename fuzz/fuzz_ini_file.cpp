// INI parsing of arbitrary file text, then a write-back round trip in memory: what a
// rewrite would store must read back the same values.
#include <cstdint>
#include <string>

#include "platform/inifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile ini("/nonexistent/fuzz.ini"); // never written: Parse and Serialize only
    ini.Parse(text);
    for (const std::string& section : ini.Sections())
        for (const std::string& key : ini.Keys(section)) (void)ini.ReadString(section, key, "");
    IniFile again("/nonexistent/fuzz.ini");
    again.Parse(ini.Serialize());
    if (again.Serialize() != ini.Serialize()) __builtin_trap();
    return 0;
}
