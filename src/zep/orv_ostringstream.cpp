#include "zep/orv_ostringstream.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace orv {

ostringstream::ostringstream()
    : capacity_(kInitialCapacity), length_(0), buffer_(new char[kInitialCapacity + 1]) {
    buffer_[0] = '\0';
}

ostringstream::~ostringstream() = default;

void ostringstream::Append(const char* text, std::size_t count) {
    if (text == nullptr || count == 0) return;
    const std::size_t needed = static_cast<std::size_t>(length_) + count;
    if (needed >= static_cast<std::size_t>(capacity_)) {
        const std::size_t grown = std::max<std::size_t>(2 * needed, kMinimumGrowth);
        std::unique_ptr<char[]> bigger(new char[grown + 1]);
        std::memcpy(bigger.get(), buffer_.get(), static_cast<std::size_t>(length_));
        buffer_ = std::move(bigger);
        capacity_ = static_cast<int>(grown);
    }
    std::memcpy(buffer_.get() + length_, text, count);
    length_ = static_cast<int>(needed);
    buffer_[length_] = '\0';
}

ostringstream& ostringstream::operator<<(const char* text) {
    if (text != nullptr) Append(text, std::strlen(text));
    return *this;
}

ostringstream& ostringstream::operator<<(int32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append(digits, static_cast<std::size_t>(end - digits));
    return *this;
}

ostringstream& ostringstream::operator<<(uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append(digits, static_cast<std::size_t>(end - digits));
    return *this;
}

std::string ostringstream::str() const {
    return std::string(buffer_.get(), static_cast<std::size_t>(length_));
}

} // namespace orv
