#pragma once
// Version resources of our ELF files. A file carries its resource in the section
// ".tessaly_version" as text lines "<query path>=<value>" after the line
// "VS_VERSION_INFO"; the translation entry's value is two hex words, "0409 04E4".
// The calls mirror the steps a caption needs: size, read, query.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Size of the file's version information, or 0 when it has none (or cannot be read).
uint32_t GetFileVersionInfoSize(const std::string& path);
// Reads the version information into `block`; false when the file has none.
bool GetFileVersionInfo(const std::string& path, std::vector<char>& block);
// Looks up a query path (the translation entry, or a string such as the file version
// under its translation block) in a block read by GetFileVersionInfo. Path names compare without
// regard to case. The translation's value is 4 bytes: language word, code-page word,
// each little-endian.
bool VerQueryValue(const std::vector<char>& block, const std::string& path, std::string& value);

} // namespace platform
