#pragma once
// A Windows-style initialisation file: [sections] of key=value lines. Files written on
// Windows read the same (CR LF, any case in section and key names, blanks around "=",
// quoted values). Every change is written back at once as a whole new file that replaces
// the old one by rename, so the file on disk is always either the old or the new one.

#include <string>
#include <vector>

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& Path() const { return path_; }

    // The value of key in section, or `defaultValue` when either is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Sets the value (adding section and key as needed) and rewrites the file. On failure
    // returns false, leaves the file as it was and puts the reason in LastError().
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Removes the section with all its keys and rewrites the file; false as for WriteString.
    bool EraseSection(const std::string& section);

    // The same two changes held in memory only, for a caller that builds a new content
    // from several changes and then stores it once with Save().
    void SetString(const std::string& section, const std::string& key, const std::string& value);
    void RemoveSection(const std::string& section);
    // Rewrites the file with what is held; false as for WriteString (memory keeps the changes).
    bool Save();

    // Section names in file order; key names of one section in file order.
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(const std::string& section) const;

    const std::string& LastError() const { return lastError_; }

    // Parses file text (exposed for tests and fuzzing); replaces what is held in memory.
    void Parse(const std::string& text);
    // The text that a rewrite would store.
    std::string Serialize() const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    void Load();
    bool Store();
    Section* FindSection(const std::string& name);
    const Section* FindSection(const std::string& name) const;

    std::string path_;
    std::vector<Section> sections_;
    std::string lastError_;
};

// Writes `contents` to `path` through a temporary file in the same folder, flushed to
// disk, then renamed over the old file. On failure the old file is untouched, the
// temporary file removed, and `error` holds the reason.
bool AtomicWriteFile(const std::string& path, const std::string& contents, std::string& error);
