#pragma once
// The registry-backed settings of the applications, kept in one plain ini
// file per registry key under $XDG_CONFIG_HOME (~/.config when unset):
// the key path without its leading "SOFTWARE" component, as folders, its
// last component the file name with ".ini" (software\Merovan\Vardeko is
// Merovan/Vardeko.ini, \SOFTWARE\Merovan\Common\ is Merovan/Common.ini).
// Each subkey of the key is a section of the file.
//
// Registry keys ignore case, so each component is matched without regard to
// ASCII case: an existing folder or file whose name differs only in case is
// the one used. Like the registry, every read sees the file as it is now and
// every write lands at once: the file is read again, changed and saved
// atomically (IniFile), the folders created when missing. A file that cannot
// be read, and any line of it that is not ini, give the defaults; so does
// anything of the file's name that is no regular file (a FIFO, a device, a
// folder), which is neither opened nor replaced.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"

namespace platform {

class RegistryIniFile {
public:
    // `keyPath` with "\" between components; empty components are ignored.
    // A path with no component after "SOFTWARE", or with a component that is
    // "." or ".." or holds "/", names no file: it reads defaults and its
    // writes fail.
    explicit RegistryIniFile(std::string_view keyPath);

    // The file the key maps to now (an existing one in whatever case), or
    // an empty path for a key that names no file.
    std::filesystem::path FilePath() const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // Each write stores the file (unless it changes nothing, which leaves
    // the file as it is); false when it could not be stored (the
    // file then stays as it was), when the file is there but cannot be read,
    // or when the value cannot be held (IniFile).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int32_t value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);
    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view key);

    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config (empty
    // when there is no home folder either).
    static std::filesystem::path ConfigHome();

private:
    IniFile LoadNow() const;
    template <typename Change>
    bool Store(Change change);

    std::vector<std::string> components_;  // folders..., file name without ".ini"
};

}  // namespace platform
