#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <charconv>

namespace platform {
namespace {

// A carriage return left at the end of a line, a name or a value is a blank
// too: values never hold one (a write refuses it).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool IsStorableName(std::string_view name) { return !name.empty() && Trim(name) == name && !HasLineBreak(name); }

bool IsStorableKey(std::string_view key) {
    return IsStorableName(key) && key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#';
}

// Parses [-+]digits, or hexadecimal after "0x" or "$"; the whole text must be
// the number and it must fit in 32 bits (a hexadecimal one as its bit
// pattern, so "0xFFFFFFFF" is -1).
bool ParseInteger(std::string_view text, int32_t& out) {
    text = Trim(text);
    if (text.empty()) return false;
    int base = 10;
    bool negative = false;
    if (text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (base == 16) {
        if (value > 0xFFFFFFFFull) return false;
        out = static_cast<int32_t>(static_cast<uint32_t>(value));
        return true;
    }
    if (negative ? value > 0x80000000ull : value > 0x7FFFFFFFull) return false;
    out = negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
    return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IniFile::Load(const std::filesystem::path& path, std::string* error) {
    sections_.clear();
    if (error) error->clear();
    RegularFile file(path);
    std::string text;
    if (!file.ReadAll(text)) {
        if (error && !file.Missing()) *error = file.Error();
        return false;
    }
    Parse(text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
    Section* current = nullptr;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            current = nullptr;  // a broken section line owns the keys below it
            if (line.size() < 2 || line.back() != ']') continue;
            const std::string_view name = Trim(line.substr(1, line.size() - 2));
            if (name.empty()) continue;
            current = FindSection(name);
            if (!current) current = &sections_.emplace_back(Section{std::string(name), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        if (key.empty() || FindEntry(*current, key)) continue;
        current->entries.push_back(Entry{std::string(key), std::string(Trim(line.substr(eq + 1)))});
    }
}

std::string IniFile::Text() const {
    std::string text;
    for (const Section& section : sections_) {
        if (!text.empty()) text += '\n';
        text += '[' + section.name + "]\n";
        for (const Entry& entry : section.entries) text += entry.key + '=' + entry.value + '\n';
    }
    return text;
}

bool IniFile::Save(const std::filesystem::path& path, std::string* error) const {
    return WriteFileAtomically(path, Text(), error);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    const Section* s = FindSection(section);
    const Entry* e = s ? FindEntry(*s, key) : nullptr;
    return e ? e->value : std::string(defaultValue);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const Section* s = FindSection(section);
    const Entry* e = s ? FindEntry(*s, key) : nullptr;
    int32_t value = 0;
    return (e && ParseInteger(e->value, value)) ? value : defaultValue;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    const Section* s = FindSection(section);
    const Entry* e = s ? FindEntry(*s, key) : nullptr;
    if (!e) return defaultValue;
    int32_t value = 0;
    if (ParseInteger(e->value, value)) return value != 0;
    if (EqualNoCase(e->value, "true")) return true;
    if (EqualNoCase(e->value, "false")) return false;
    return defaultValue;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsStorableName(section) || !IsStorableKey(key) || HasLineBreak(value)) return false;
    Section* s = FindSection(section);
    if (!s) s = &sections_.emplace_back(Section{std::string(section), {}});
    for (Entry& entry : s->entries) {
        if (EqualNoCase(entry.key, key)) {
            entry.value = std::string(Trim(value));
            return true;
        }
    }
    s->entries.push_back(Entry{std::string(key), std::string(Trim(value))});
    return true;
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    return s && FindEntry(*s, key);
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (const Section& section : sections_) names.push_back(section.name);
    return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    if (const Section* s = FindSection(section)) {
        for (const Entry& entry : s->entries) keys.push_back(entry.key);
    }
    return keys;
}

void IniFile::EraseSection(std::string_view section) {
    std::erase_if(sections_, [&](const Section& s) { return EqualNoCase(s.name, section); });
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    if (Section* s = FindSection(section)) {
        std::erase_if(s->entries, [&](const Entry& e) { return EqualNoCase(e.key, key); });
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& section : sections_) {
        if (EqualNoCase(section.name, name)) return &section;
    }
    return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    return const_cast<Section*>(static_cast<const IniFile*>(this)->FindSection(name));
}

const IniFile::Entry* IniFile::FindEntry(const Section& section, std::string_view key) {
    for (const Entry& entry : section.entries) {
        if (EqualNoCase(entry.key, key)) return &entry;
    }
    return nullptr;
}

}  // namespace platform
