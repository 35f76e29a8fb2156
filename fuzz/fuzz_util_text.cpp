// Number text, number checks and field splitting over arbitrary text: the first bytes
// choose base, width, index and separator, the rest is the text.
#include <cstdint>
#include <cstring>
#include <string>

#include "util/util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int8_t base = static_cast<int8_t>(data[0]);
    const int8_t width = static_cast<int8_t>(data[1]);
    const int32_t index = data[2] % 40;
    const char separator = static_cast<char>(data[3]);
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);

    uint32_t value = 0;
    std::memcpy(&value, data, 4);
    const std::string number = NumberToText(value, base, width, (data[1] & 1) != 0);
    if (base == 16 && width > 0 && number.size() != static_cast<size_t>(width)) __builtin_trap();

    (void)IsValidNumber(text, base);
    (void)IsValidNumber(text, 10);

    std::string field;
    int32_t start = -1, end = -1;
    const std::string error = GetField(text, index, separator, field, &start, &end);
    if (error.empty()) {
        // A found field lies inside the text and is what stands between its positions.
        if (start < 0 || end < start || static_cast<size_t>(end) > text.size()) __builtin_trap();
        if (text.compare(static_cast<size_t>(start), static_cast<size_t>(end - start), field) != 0)
            __builtin_trap();
    }
    return 0;
}
