#pragma once
// The growing text buffer in which a text command line is assembled. It starts with room
// for 5000 characters, more than the longest command needs, so building never reallocates.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orv {

class ostringstream {
public:
    static constexpr int kInitialCapacity = 5000;
    static constexpr int kMinimumGrowth = 2000;

    ostringstream();
    virtual ~ostringstream();
    ostringstream(const ostringstream&) = delete;
    ostringstream& operator=(const ostringstream&) = delete;

    // Appends the text unchanged; a null pointer or an empty text appends nothing.
    ostringstream& operator<<(const char* text);
    // "%d"
    ostringstream& operator<<(int32_t value);
    // "%u"
    ostringstream& operator<<(uint32_t value);

    std::string str() const;
    int length() const { return length_; }
    int capacity() const { return capacity_; }

private:
    void Append(const char* text, std::size_t count);

    int capacity_;
    int length_;
    std::unique_ptr<char[]> buffer_;
};

} // namespace orv
