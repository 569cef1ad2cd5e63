#pragma once
// The colours of input fields whose content is valid (matched) or invalid
// (unmatched), and of highlighted hyperlinks, as the maker's tools share them
// in section "GUI Colors" of the settings key \SOFTWARE\Merovan\Common\.
// Widget-free: the palette's window colours come in as a parameter, and the
// values are read through a function, so that any settings store can serve.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class TGUIColorScheme {
public:
    struct rgb_t {
        uint8_t red = 0, green = 0, blue = 0;
        bool operator==(const rgb_t&) const = default;
    };
    // The palette's window (base) and window text colours.
    struct palette_t {
        rgb_t window;
        rgb_t windowText;
    };
    // The text of a value of section "GUI Colors"; nothing when it is absent.
    using value_reader_t = std::function<std::optional<std::string>(const std::string& name)>;

    static constexpr const char* kKey = "\\SOFTWARE\\Merovan\\Common\\";
    static constexpr const char* kSection = "GUI Colors";

    // The scheme with every colour at its default.
    explicit TGUIColorScheme(const palette_t& palette);

    // Reads the scheme (blanks around a value's text do not count).
    // `ControlMatchingEnabled` is a decimal integer: 0 switches
    // matching off (both backgrounds the window colour, both texts the window
    // text colour, the hyperlink blue, nothing more is read); any other
    // value, no value or a text that is no integer leaves it on, and each
    // colour is read from its value, a text that is no colour giving that
    // colour's default.
    void Load(const value_reader_t& read);

    rgb_t ControlMatchColor() const { return matchColor_; }
    rgb_t ControlUnmatchColor() const { return unmatchColor_; }
    rgb_t ControlMatchTextColor() const { return matchTextColor_; }
    rgb_t ControlUnmatchTextColor() const { return unmatchTextColor_; }
    rgb_t HyperLinkHighlightColor() const { return hyperLinkColor_; }

    // A colour text: a colour name ("clWindow", "clWindowText", "clBlack",
    // "clBlue" and the other basic colours, in any letter case), or a number
    // in decimal, or in hexadecimal after "0x" or "$", in the encoding
    // 0x00BBGGRR ("0xd0d0ff" is red FF, green D0, blue D0). Nothing for any
    // other text.
    static std::optional<rgb_t> ColorFromText(std::string_view text, const palette_t& palette);

private:
    rgb_t ReadColor(const value_reader_t& read, const char* name, const char* defaultText) const;

    palette_t palette_;
    rgb_t matchColor_, unmatchColor_, matchTextColor_, unmatchTextColor_, hyperLinkColor_;
};
