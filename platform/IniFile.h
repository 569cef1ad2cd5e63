#pragma once
// A plain ini file held in memory: sections of key=value lines.
//
// The text stays plain ini that any ini reader understands: names and values
// are written as they are (a section "GUI Colors" is "[GUI Colors]"), one
// entry per line. Section and key names are matched without regard to ASCII
// case, as the registry and the system's own ini functions match them; the
// spelling first written or read is kept.
//
// Reading is lenient: a file that cannot be read (or is no regular file) is
// empty, and a line that is not "[section]", "key=value", blank or a comment
// (";" or "#" first) is ignored, as are key lines before the first section
// and under a broken section line. Blanks around lines, names and values are
// not part of them; a carriage return counts as a blank there, so a line
// ending in CR CR LF (a file passed through two line-end conversions) reads
// as one ending in LF. Of a key given twice in a section the first counts.
// Everything missing reads as the caller's default.
//
// Saving is atomic (platform/AtomicFile.h): the text goes to a new file beside the target, every
// write, the flush to disk and the close are checked, and only then does a
// rename replace the target. A failed save (no room, no permission, a crash
// half-way) leaves the old file as it was and no temporary file behind.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Whether two names are equal but for ASCII letter case, the way the registry
// and ini files match section, key and path names.
bool EqualNoCase(std::string_view a, std::string_view b);

class IniFile {
public:
    IniFile() = default;

    // Replaces the content with that of the file; false (and empty content)
    // when the file cannot be read. A missing file is not readable; nor is
    // anything but a regular file, which is not even opened (a FIFO would
    // block, platform/RegularFile.h). `error`, when given, says why ("Not a
    // regular file", "Permission denied"), and is empty when no file of that
    // name is there.
    bool Load(const std::filesystem::path& path, std::string* error = nullptr);
    // Replaces the content with the parsed text.
    void Parse(std::string_view text);
    // The content as file text ("\n" after every line, a blank line between
    // sections).
    std::string Text() const;
    // Writes Text() atomically; false leaves the file as it was, and puts
    // what failed into `error` when given ("Cannot write <file>: No space
    // left on device").
    bool Save(const std::filesystem::path& path, std::string* error = nullptr) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // Decimal with optional sign, or hexadecimal after "0x" or "$"; a value
    // that is no such number or outside 32 bits gives the default.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // An integer (non-zero is true) or "true"/"false"; anything else gives
    // the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Sets the value, adding the section and key at their ends when new.
    // Blanks around the value are dropped, as reading drops them. False, and
    // nothing changed, for what one ini line cannot hold: a line break
    // anywhere, an empty name or one with blanks around it, a key that
    // contains "=" or begins with "[", ";" or "#".
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int32_t value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);
    void Clear() { sections_.clear(); }

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    static const Entry* FindEntry(const Section& section, std::string_view key);

    std::vector<Section> sections_;
};

}  // namespace platform
