#include "sinkmonitor/TGUIColorScheme.h"

#include <strings.h>
#include <charconv>

namespace {

using rgb_t = TGUIColorScheme::rgb_t;

// The values and their defaults.
struct ColorValue {
    const char* name;
    const char* defaultText;
};
constexpr ColorValue kMatch{"ControlMatchColor", "clWindow"};
constexpr ColorValue kUnmatch{"ControlUnmatchColor", "0xd0d0ff"};
constexpr ColorValue kMatchText{"ControlMatchTextColor", "clWindowText"};
constexpr ColorValue kUnmatchText{"ControlUnmatchTextColor", "clBlack"};
constexpr ColorValue kHyperLink{"HyperLinkHighlightColor", "clBlue"};
constexpr const char* kMatchingEnabled = "ControlMatchingEnabled";

constexpr rgb_t kBlack{0x00, 0x00, 0x00};
constexpr rgb_t kBlue{0x00, 0x00, 0xFF};
constexpr rgb_t kLightRed{0xFF, 0xD0, 0xD0};

// The basic colour names besides the palette's two.
struct NamedColor {
    const char* name;
    rgb_t color;
};
constexpr NamedColor kNamedColors[] = {
    {"clBlack", kBlack},
    {"clMaroon", {0x80, 0x00, 0x00}},
    {"clGreen", {0x00, 0x80, 0x00}},
    {"clOlive", {0x80, 0x80, 0x00}},
    {"clNavy", {0x00, 0x00, 0x80}},
    {"clPurple", {0x80, 0x00, 0x80}},
    {"clTeal", {0x00, 0x80, 0x80}},
    {"clGray", {0x80, 0x80, 0x80}},
    {"clSilver", {0xC0, 0xC0, 0xC0}},
    {"clRed", {0xFF, 0x00, 0x00}},
    {"clLime", {0x00, 0xFF, 0x00}},
    {"clYellow", {0xFF, 0xFF, 0x00}},
    {"clBlue", kBlue},
    {"clFuchsia", {0xFF, 0x00, 0xFF}},
    {"clAqua", {0x00, 0xFF, 0xFF}},
    {"clWhite", {0xFF, 0xFF, 0xFF}},
};

bool SameName(std::string_view text, const char* name) {
    return text.size() == std::char_traits<char>::length(name) && strncasecmp(text.data(), name, text.size()) == 0;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// All of `digits` as an unsigned number in `base`; nothing for an empty text,
// a sign, a blank or any other character.
std::optional<uint32_t> Unsigned(std::string_view digits, int base) {
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') return std::nullopt;
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// The value's text without the blanks around it.
std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal integer with an optional sign, and nothing else.
std::optional<long long> Integer(std::string_view text) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

TGUIColorScheme::TGUIColorScheme(const palette_t& palette)
    : palette_(palette),
      matchColor_(palette.window),
      unmatchColor_(kLightRed),
      matchTextColor_(palette.windowText),
      unmatchTextColor_(kBlack),
      hyperLinkColor_(kBlue) {}

std::optional<rgb_t> TGUIColorScheme::ColorFromText(std::string_view text, const palette_t& palette) {
    if (SameName(text, "clWindow")) return palette.window;
    if (SameName(text, "clWindowText")) return palette.windowText;
    for (const NamedColor& named : kNamedColors)
        if (SameName(text, named.name)) return named.color;

    std::optional<uint32_t> value;
    if (StartsWith(text, "0x")) value = Unsigned(text.substr(2), 16);
    else if (StartsWith(text, "$")) value = Unsigned(text.substr(1), 16);
    else value = Unsigned(text, 10);
    // 0x00BBGGRR: anything in the top byte is not a plain colour.
    if (!value || *value > 0x00FFFFFF) return std::nullopt;
    return rgb_t{uint8_t(*value & 0xFF), uint8_t((*value >> 8) & 0xFF), uint8_t((*value >> 16) & 0xFF)};
}

rgb_t TGUIColorScheme::ReadColor(const value_reader_t& read, const char* name, const char* defaultText) const {
    if (const auto text = read(name))
        if (const auto color = ColorFromText(Trimmed(*text), palette_)) return *color;
    return *ColorFromText(defaultText, palette_);
}

void TGUIColorScheme::Load(const value_reader_t& read) {
    bool enabled = true;
    if (const auto text = read(kMatchingEnabled))
        if (const auto value = Integer(Trimmed(*text))) enabled = *value != 0;
    if (!enabled) {
        matchColor_ = unmatchColor_ = palette_.window;
        matchTextColor_ = unmatchTextColor_ = palette_.windowText;
        hyperLinkColor_ = kBlue;
        return;
    }
    matchColor_ = ReadColor(read, kMatch.name, kMatch.defaultText);
    unmatchColor_ = ReadColor(read, kUnmatch.name, kUnmatch.defaultText);
    matchTextColor_ = ReadColor(read, kMatchText.name, kMatchText.defaultText);
    unmatchTextColor_ = ReadColor(read, kUnmatchText.name, kUnmatchText.defaultText);
    hyperLinkColor_ = ReadColor(read, kHyperLink.name, kHyperLink.defaultText);
}
