#include "sinkmonitor/appresource.h"

#include <QCoreApplication>
#include <array>
#include <charconv>
#include <filesystem>
#include <optional>

#include "SelvitraVersion.h"

namespace {

// The version information the build gives each of the suite's programs.
appresource_t::strings_t GeneratedStrings(const std::string& productName) {
    return {{"CompanyName", "Merovan"},
            {"FileVersion", SELVITRA_FILE_VERSION},
            {"ProductName", productName},
            {"ProductVersion", SELVITRA_FILE_VERSION}};
}

appresource_t::strings_t StringsOfFile(const std::string& fileName) {
    namespace fs = std::filesystem;
    const fs::path path(fileName);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return {};
    const std::string base = path.filename().string();
    if (base == "selvitra") return GeneratedStrings("Selvitra");
    if (base == "pallumo") return GeneratedStrings("Pallumo");
    return {};
}

// "major.minor.release.build": exactly four parts of decimal digits, each
// fitting the 16 bits a version number has.
std::optional<std::array<uint16_t, 4>> ParseFileVersion(const std::string& text) {
    std::array<uint16_t, 4> parts{};
    const char* p = text.data();
    const char* const end = p + text.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != '.') return std::nullopt;
            ++p;
        }
        if (p == end || *p < '0' || *p > '9') return std::nullopt;  // no sign, no blank
        auto [next, ec] = std::from_chars(p, end, parts[i]);
        if (ec != std::errc()) return std::nullopt;  // beyond 16 bits
        p = next;
    }
    if (p != end) return std::nullopt;
    return parts;
}

}  // namespace

appresource_t::appresource_t(std::string file_name) : file_name_(std::move(file_name)) {
    strings_ = StringsOfFile(file_name_);
    load();
}

appresource_t::appresource_t(std::string file_name, strings_t strings)
    : file_name_(std::move(file_name)), strings_(std::move(strings)) {
    load();
}

std::string appresource_t::query_string(const std::string& key) const {
    auto it = strings_.find(key);
    return it == strings_.end() ? std::string() : it->second;
}

void appresource_t::load() {
    const auto parts = ParseFileVersion(file_version());
    if (!parts) return;
    major_ = (*parts)[0];
    minor_ = (*parts)[1];
    release_ = (*parts)[2];
    build_ = (*parts)[3];
    short_version_ = std::to_string(major_) + "." + std::to_string(minor_) + "." + std::to_string(release_);
}

const appresource_t& GetAppResource() {
    static const appresource_t resource(
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath().toStdString() : std::string(),
        GeneratedStrings("Selvitra"));
    return resource;
}
