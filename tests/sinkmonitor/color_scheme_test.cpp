// The colour scheme: colour texts by name or number, and the scheme as read
// from the values of section "GUI Colors".
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>

#include "sinkmonitor/TGUIColorScheme.h"

using rgb_t = TGUIColorScheme::rgb_t;

void PrintTo(const rgb_t& c, std::ostream* os) {
    *os << "RGB(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
}

namespace {

// A palette whose window colours are neither white nor black, so that a
// fixed colour cannot pass for them.
const TGUIColorScheme::palette_t kPalette{{0xF0, 0xF1, 0xF2}, {0x10, 0x11, 0x12}};
constexpr rgb_t kLightRed{0xFF, 0xD0, 0xD0};
constexpr rgb_t kBlack{0, 0, 0};
constexpr rgb_t kBlue{0, 0, 0xFF};

TEST(ColorFromText, NamesAndNumbersInTheBgrEncoding) {
    const std::pair<const char*, rgb_t> cases[] = {
        {"clWindow", kPalette.window},
        {"clWindowText", kPalette.windowText},
        {"clwindowtext", kPalette.windowText},
        {"clBlack", kBlack},
        {"clBlue", kBlue},
        {"CLBLUE", kBlue},
        {"clWhite", {0xFF, 0xFF, 0xFF}},
        {"clRed", {0xFF, 0, 0}},
        {"clLime", {0, 0xFF, 0}},
        {"clMaroon", {0x80, 0, 0}},
        {"clNavy", {0, 0, 0x80}},
        {"clSilver", {0xC0, 0xC0, 0xC0}},
        {"clGray", {0x80, 0x80, 0x80}},
        {"clFuchsia", {0xFF, 0, 0xFF}},
        {"clAqua", {0, 0xFF, 0xFF}},
        {"clYellow", {0xFF, 0xFF, 0}},
        {"clOlive", {0x80, 0x80, 0}},
        {"clPurple", {0x80, 0, 0x80}},
        {"clTeal", {0, 0x80, 0x80}},
        {"clGreen", {0, 0x80, 0}},
        {"0xd0d0ff", kLightRed},
        {"0XD0D0FF", kLightRed},
        {"$d0d0ff", kLightRed},
        {"13684991", kLightRed},  // 0xD0D0FF in decimal
        {"0xFF0000", kBlue},
        {"$ff", {0xFF, 0, 0}},
        {"0x00ff00", {0, 0xFF, 0}},
        {"0", kBlack},
        {"$0", kBlack},
        {"16777215", {0xFF, 0xFF, 0xFF}},
        {"0x00FFFFFF", {0xFF, 0xFF, 0xFF}},
        {"0x030201", {0x01, 0x02, 0x03}},
    };
    for (const auto& [text, color] : cases) EXPECT_EQ(TGUIColorScheme::ColorFromText(text, kPalette), color) << text;
}

TEST(ColorFromText, AnythingElseIsNoColour) {
    const char* const cases[] = {"",          "0x",        "$",           "0xGG",   "$-1",       "-1",
                                 "+5",        " 255",      "255 ",        "12a",    "0x0x12",    "16777216",
                                 "0x1000000", "$FF000005", "99999999999", "clPink", "clWindowX", "Window",
                                 "clWindow ", "#d0d0ff",   "0xd0d0ff;"};
    for (const char* text : cases)
        EXPECT_EQ(TGUIColorScheme::ColorFromText(text, kPalette), std::nullopt) << '"' << text << '"';
}

// The values of section "GUI Colors" as a settings file would hold them;
// every value asked for is noted.
class SchemeValues {
public:
    explicit SchemeValues(std::map<std::string, std::string> values) : values_(std::move(values)) {}
    TGUIColorScheme::value_reader_t Reader() {
        return [this](const std::string& name) -> std::optional<std::string> {
            asked_.push_back(name);
            auto it = values_.find(name);
            if (it == values_.end()) return std::nullopt;
            return it->second;
        };
    }
    std::vector<std::string> asked_;

private:
    std::map<std::string, std::string> values_;
};

TGUIColorScheme Loaded(SchemeValues& values) {
    TGUIColorScheme scheme(kPalette);
    scheme.Load(values.Reader());
    return scheme;
}

void ExpectDefaults(const TGUIColorScheme& s) {
    EXPECT_EQ(s.ControlMatchColor(), kPalette.window);
    EXPECT_EQ(s.ControlUnmatchColor(), kLightRed);
    EXPECT_EQ(s.ControlMatchTextColor(), kPalette.windowText);
    EXPECT_EQ(s.ControlUnmatchTextColor(), kBlack);
    EXPECT_EQ(s.HyperLinkHighlightColor(), kBlue);
}

TEST(TGUIColorScheme, WithoutValuesEveryColourHasItsDefault) {
    ExpectDefaults(TGUIColorScheme(kPalette));
    SchemeValues none({});
    ExpectDefaults(Loaded(none));
    EXPECT_EQ(none.asked_, (std::vector<std::string>{"ControlMatchingEnabled", "ControlMatchColor",
                                                     "ControlUnmatchColor", "ControlMatchTextColor",
                                                     "ControlUnmatchTextColor", "HyperLinkHighlightColor"}));
}

TEST(TGUIColorScheme, StoredColoursAreRead) {
    SchemeValues values({{"ControlMatchingEnabled", "1"},
                         {"ControlMatchColor", " clWhite "},
                         {"ControlUnmatchColor", "$00FFFF"},
                         {"ControlMatchTextColor", "clNavy"},
                         {"ControlUnmatchTextColor", "255"},
                         {"HyperLinkHighlightColor", "0x008000"}});
    const auto s = Loaded(values);
    EXPECT_EQ(s.ControlMatchColor(), (rgb_t{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(s.ControlUnmatchColor(), (rgb_t{0xFF, 0xFF, 0x00}));
    EXPECT_EQ(s.ControlMatchTextColor(), (rgb_t{0, 0, 0x80}));
    EXPECT_EQ(s.ControlUnmatchTextColor(), (rgb_t{0xFF, 0, 0}));
    EXPECT_EQ(s.HyperLinkHighlightColor(), (rgb_t{0, 0x80, 0}));
}

TEST(TGUIColorScheme, AColourTextThatIsNoColourGivesThatColoursDefault) {
    SchemeValues values({{"ControlMatchColor", "pink"},
                         {"ControlUnmatchColor", "0x"},
                         {"ControlMatchTextColor", ""},
                         {"ControlUnmatchTextColor", "0x1000000"},
                         {"HyperLinkHighlightColor", "clBlue2"}});
    ExpectDefaults(Loaded(values));
}

TEST(TGUIColorScheme, MatchingOffMakesValidAndInvalidFieldsLookAlike) {
    const char* const offTexts[] = {"0", "-0", "+0", "00", " 0", "0\t"};
    for (const char* off : offTexts) {
        SCOPED_TRACE(off);
        SchemeValues values({{"ControlMatchingEnabled", off},
                             {"ControlMatchColor", "clRed"},
                             {"ControlUnmatchColor", "clLime"},
                             {"ControlUnmatchTextColor", "clWhite"},
                             {"HyperLinkHighlightColor", "clRed"}});
        const auto s = Loaded(values);
        EXPECT_EQ(s.ControlMatchColor(), kPalette.window);
        EXPECT_EQ(s.ControlUnmatchColor(), kPalette.window);
        EXPECT_EQ(s.ControlMatchTextColor(), kPalette.windowText);
        EXPECT_EQ(s.ControlUnmatchTextColor(), kPalette.windowText);
        EXPECT_EQ(s.HyperLinkHighlightColor(), kBlue);
        EXPECT_EQ(values.asked_, std::vector<std::string>{"ControlMatchingEnabled"}) << "the colours are not read";
    }
}

TEST(TGUIColorScheme, AnyOtherMatchingValueLeavesMatchingOn) {
    const char* const onTexts[] = {"1", "5", "-3", "+7", "true", "false", "", "0x0", "0 0", "+-0"};
    for (const char* on : onTexts) {
        SCOPED_TRACE(testing::Message() << '"' << on << '"');
        SchemeValues values({{"ControlMatchingEnabled", on}, {"ControlUnmatchColor", "clYellow"}});
        const auto s = Loaded(values);
        EXPECT_EQ(s.ControlUnmatchColor(), (rgb_t{0xFF, 0xFF, 0}));
        EXPECT_EQ(s.ControlUnmatchTextColor(), kBlack);
    }
}

}  // namespace
