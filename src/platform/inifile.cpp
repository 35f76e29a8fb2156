#include "platform/inifile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s) {
    const char* blanks = " \t\r\n";
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const std::size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    Parse({});
    Load();
}

void IniFile::Load() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    Parse(text.str());
}

void IniFile::Parse(const std::string& text) {
    sections_.clear();
    // Lines before the first section header belong to an unnamed section, kept so that
    // a rewrite does not drop them.
    sections_.push_back(Section{});
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = Trim(line);
        if (trimmed.empty()) continue;
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            const std::string name = Trim(trimmed.substr(1, close == std::string::npos
                                                              ? std::string::npos
                                                              : close - 1));
            sections_.push_back(Section{name, {}});
            continue;
        }
        const std::size_t eq = trimmed.find('=');
        const std::string key = eq == std::string::npos ? std::string() : Trim(trimmed.substr(0, eq));
        if (trimmed.front() == ';' || key.empty()) {
            // Comments and lines without a key are kept as they stand, never looked up.
            sections_.back().entries.push_back(Entry{std::string(), trimmed});
            continue;
        }
        sections_.back().entries.push_back(Entry{key, Trim(trimmed.substr(eq + 1))});
    }
}

std::string IniFile::Serialize() const {
    std::string out;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const Section& section = sections_[i];
        if (i > 0) {
            if (!out.empty()) out += "\r\n";
            out += "[" + section.name + "]\r\n";
        }
        for (const Entry& entry : section.entries)
            out += entry.key.empty() ? entry.value + "\r\n" : entry.key + "=" + entry.value + "\r\n";
    }
    return out;
}

IniFile::Section* IniFile::FindSection(const std::string& name) {
    for (std::size_t i = 1; i < sections_.size(); ++i)
        if (SameName(sections_[i].name, name)) return &sections_[i];
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
    return const_cast<IniFile*>(this)->FindSection(name);
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const Section* s = FindSection(section);
    if (!s) return defaultValue;
    for (const Entry& entry : s->entries)
        if (!entry.key.empty() && SameName(entry.key, key)) return Unquote(entry.value);
    return defaultValue;
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (std::size_t i = 1; i < sections_.size(); ++i) names.push_back(sections_[i].name);
    return names;
}

std::vector<std::string> IniFile::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    if (const Section* s = FindSection(section))
        for (const Entry& entry : s->entries)
            if (!entry.key.empty()) keys.push_back(entry.key);
    return keys;
}

void IniFile::SetString(const std::string& section, const std::string& key,
                        const std::string& value) {
    Section* s = FindSection(section);
    if (!s) {
        sections_.push_back(Section{section, {}});
        s = &sections_.back();
    }
    for (Entry& entry : s->entries)
        if (!entry.key.empty() && SameName(entry.key, key)) {
            entry.value = value;
            return;
        }
    s->entries.push_back(Entry{key, value});
}

void IniFile::RemoveSection(const std::string& section) {
    for (std::size_t i = 1; i < sections_.size();) {
        if (SameName(sections_[i].name, section))
            sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

bool IniFile::Save() {
    return Store();
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    const std::vector<Section> before = sections_;
    SetString(section, key, value);
    if (Store()) return true;
    sections_ = before;
    return false;
}

bool IniFile::EraseSection(const std::string& section) {
    const std::vector<Section> before = sections_;
    RemoveSection(section);
    if (Store()) return true;
    sections_ = before;
    return false;
}

bool IniFile::Store() {
    lastError_.clear();
    return AtomicWriteFile(path_, Serialize(), lastError_);
}

bool AtomicWriteFile(const std::string& path, const std::string& contents, std::string& error) {
    auto fail = [&](int err) {
        error = path + ": " + std::strerror(err);
        return false;
    };
    // A read-only file stays as it is: a rename would replace it regardless of its mode,
    // and root passes every access check, so the mode bits decide.
    struct stat current {};
    if (::stat(path.c_str(), &current) == 0) {
        if ((current.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail(EACCES);
        if (::access(path.c_str(), W_OK) != 0) return fail(errno);
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno);
    auto discard = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(err);
    };
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return discard(errno);
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    const mode_t mode = ::stat(path.c_str(), &current) == 0 ? (current.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) return discard(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    return true;
}
