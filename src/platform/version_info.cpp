#include "platform/version_info.h"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr char kSectionName[] = ".tessaly_version";
constexpr char kMagic[] = "VS_VERSION_INFO";

class Fd {
public:
    explicit Fd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    bool ReadAt(void* out, std::size_t size, uint64_t offset) const {
        if (fd_ < 0) return false;
        auto* p = static_cast<char*>(out);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
            if (n <= 0) return false;
            p += n;
            size -= static_cast<std::size_t>(n);
            offset += static_cast<uint64_t>(n);
        }
        return true;
    }

private:
    int fd_;
};

// Finds the resource section of a 64-bit little-endian ELF file; every offset read from
// the file is checked before use, so a damaged file is simply one without a resource.
bool FindSection(const Fd& file, uint64_t& offset, uint64_t& size) {
    Elf64_Ehdr eh{};
    if (!file.ReadAt(&eh, sizeof eh, 0)) return false;
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
        eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize != sizeof(Elf64_Shdr) ||
        eh.e_shstrndx >= eh.e_shnum)
        return false;
    Elf64_Shdr names{};
    if (!file.ReadAt(&names, sizeof names, eh.e_shoff + uint64_t{eh.e_shstrndx} * sizeof names))
        return false;
    for (uint16_t i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!file.ReadAt(&sh, sizeof sh, eh.e_shoff + uint64_t{i} * sizeof sh)) return false;
        if (sh.sh_name >= names.sh_size) continue;
        char name[sizeof kSectionName] = {};
        if (!file.ReadAt(name, sizeof name - 1, names.sh_offset + sh.sh_name)) continue;
        if (std::strcmp(name, kSectionName) != 0 || sh.sh_type == SHT_NOBITS) continue;
        if (sh.sh_size == 0 || sh.sh_size > (1u << 20)) return false;
        offset = sh.sh_offset;
        size = sh.sh_size;
        return true;
    }
    return false;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool ParseHexWord(const std::string& text, uint16_t& word) {
    if (text.empty() || text.size() > 4) return false;
    unsigned value = 0;
    for (char c : text) {
        value <<= 4;
        if (c >= '0' && c <= '9') value |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f') value |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') value |= static_cast<unsigned>(c - 'A' + 10);
        else return false;
    }
    word = static_cast<uint16_t>(value);
    return true;
}

} // namespace

uint32_t GetFileVersionInfoSize(const std::string& path) {
    Fd file(path);
    uint64_t offset = 0, size = 0;
    return FindSection(file, offset, size) ? static_cast<uint32_t>(size) : 0;
}

bool GetFileVersionInfo(const std::string& path, std::vector<char>& block) {
    Fd file(path);
    uint64_t offset = 0, size = 0;
    if (!FindSection(file, offset, size)) return false;
    block.assign(static_cast<std::size_t>(size), '\0');
    return file.ReadAt(block.data(), block.size(), offset);
}

bool VerQueryValue(const std::vector<char>& block, const std::string& path, std::string& value) {
    if (block.empty()) return false;
    const std::string text(block.data(), ::strnlen(block.data(), block.size()));
    std::size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (first) {
            if (line != kMagic) return false;
            first = false;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || !SameText(line.substr(0, eq), path)) continue;
        const std::string raw = line.substr(eq + 1);
        if (!SameText(path, "\\VarFileInfo\\Translation")) {
            value = raw;
            return true;
        }
        const std::size_t blank = raw.find(' ');
        uint16_t language = 0, codePage = 0;
        if (blank == std::string::npos || !ParseHexWord(raw.substr(0, blank), language) ||
            !ParseHexWord(raw.substr(blank + 1), codePage))
            return false;
        value = {static_cast<char>(language & 0xFF), static_cast<char>(language >> 8),
                 static_cast<char>(codePage & 0xFF), static_cast<char>(codePage >> 8)};
        return true;
    }
    return false;
}

} // namespace platform
