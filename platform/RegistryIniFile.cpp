#include "platform/RegistryIniFile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace platform {
namespace {

std::vector<std::string> SplitKeyPath(std::string_view keyPath) {
    std::vector<std::string> parts;
    while (!keyPath.empty()) {
        const size_t sep = keyPath.find('\\');
        const std::string_view part = keyPath.substr(0, sep);
        if (!part.empty()) parts.emplace_back(part);
        keyPath.remove_prefix(sep == std::string_view::npos ? keyPath.size() : sep + 1);
    }
    if (!parts.empty() && EqualNoCase(parts.front(), "software")) parts.erase(parts.begin());
    for (const std::string& part : parts) {
        if (part == "." || part == ".." || part.find('/') != std::string::npos) return {};
    }
    return parts;
}

// `folder`/`name`, or the entry of `folder` whose name equals `name` but for
// case when there is no exact one (the first such in name order).
std::filesystem::path ChildNoCase(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    const std::filesystem::path exact = folder / name;
    if (std::filesystem::exists(std::filesystem::symlink_status(exact, ec))) return exact;
    std::string best;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (EqualNoCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
    }
    return best.empty() ? exact : folder / best;
}

}  // namespace

RegistryIniFile::RegistryIniFile(std::string_view keyPath) : components_(SplitKeyPath(keyPath)) {}

std::filesystem::path RegistryIniFile::ConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::filesystem::path(home) / ".config";
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return std::filesystem::path(pw->pw_dir) / ".config";
    return {};
}

std::filesystem::path RegistryIniFile::FilePath() const {
    std::filesystem::path path = ConfigHome();
    if (components_.empty() || path.empty()) return {};
    for (size_t i = 0; i + 1 < components_.size(); ++i) path = ChildNoCase(path, components_[i]);
    return ChildNoCase(path, components_.back() + ".ini");
}

IniFile RegistryIniFile::LoadNow() const {
    IniFile ini;
    if (const std::filesystem::path path = FilePath(); !path.empty()) ini.Load(path);
    return ini;
}

template <typename Change>
bool RegistryIniFile::Store(Change change) {
    const std::filesystem::path path = FilePath();
    if (path.empty()) return false;
    IniFile ini;
    // A file that is there but cannot be read (or is no regular file) is not
    // replaced by one that holds only the new value.
    std::string unreadable;
    if (!ini.Load(path, &unreadable) && !unreadable.empty()) return false;
    const std::string before = ini.Text();
    if (!change(ini)) return false;
    if (ini.Text() == before) return true;  // nothing to store (a missing key deleted, a value written again)
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return ini.Save(path);
}

std::string RegistryIniFile::ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
    return LoadNow().ReadString(section, key, defaultValue);
}

int32_t RegistryIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    return LoadNow().ReadInteger(section, key, defaultValue);
}

bool RegistryIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return LoadNow().ReadBool(section, key, defaultValue);
}

bool RegistryIniFile::SectionExists(std::string_view section) const { return LoadNow().SectionExists(section); }

bool RegistryIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return LoadNow().ValueExists(section, key);
}

std::vector<std::string> RegistryIniFile::Sections() const { return LoadNow().Sections(); }

std::vector<std::string> RegistryIniFile::Keys(std::string_view section) const { return LoadNow().Keys(section); }

bool RegistryIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    return Store([&](IniFile& ini) { return ini.WriteString(section, key, value); });
}

bool RegistryIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    return Store([&](IniFile& ini) { return ini.WriteInteger(section, key, value); });
}

bool RegistryIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    return Store([&](IniFile& ini) { return ini.WriteBool(section, key, value); });
}

bool RegistryIniFile::EraseSection(std::string_view section) {
    return Store([&](IniFile& ini) {
        ini.EraseSection(section);
        return true;
    });
}

bool RegistryIniFile::DeleteKey(std::string_view section, std::string_view key) {
    return Store([&](IniFile& ini) {
        ini.DeleteKey(section, key);
        return true;
    });
}

}  // namespace platform
