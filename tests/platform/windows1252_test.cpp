#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/Windows1252.h"
#include "platform/Windows1252Bytes.h"

using platform::FromWindows1252;
using platform::ToWindows1252;
using platform::Unmappable;

namespace {

// The system's own CP1252 converter, an independent reference for the 251
// bytes the code page assigns; -1 for a byte it refuses.
int ReferenceCharacter(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return -2;
    char in[1] = {static_cast<char>(byte)};
    char out[4] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || outLeft != 2) return -1;
    return static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8);
}

}  // namespace

TEST(Windows1252, EveryByteDecodesAsTheCodePageSaysAndTheFiveGapsToTheirControls) {
    for (int b = 0; b < 256; ++b) {
        const char16_t got = platform::Windows1252ToUtf16(static_cast<unsigned char>(b));
        const int reference = ReferenceCharacter(static_cast<unsigned char>(b));
        ASSERT_NE(reference, -2) << "no CP1252 converter on this system";
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            EXPECT_EQ(got, char16_t(b)) << "byte " << b;
        } else {
            EXPECT_EQ(int(got), reference) << "byte " << b;
        }
    }
}

TEST(Windows1252, AllBytesRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const QString text = FromWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToWindows1252(text), all);
    EXPECT_EQ(ToWindows1252(text, Unmappable::CharacterReference), all);
}

TEST(Windows1252, TheTestNamesPunctuation) {
    EXPECT_EQ(FromWindows1252("Stuffing \x96 Least"), QString::fromUtf8("Stuffing \u2013 Least"));
    EXPECT_EQ(FromWindows1252("Verify R0\x92"), QString::fromUtf8("Verify R0\u2019"));
    EXPECT_EQ(ToWindows1252(QString::fromUtf8("\u2013\u2019\u20ac")), "\x96\x92\x80");
    // Latin-1 would give U+0096 for 0x96: that control has no byte here.
    EXPECT_EQ(FromWindows1252("\x96").at(0).unicode(), 0x2013);
}

TEST(Windows1252, UnmappableCharacters) {
    struct Case {
        const char* name;
        QString text;
        std::string question;
        std::string reference;
    };
    const QChar loneHigh(char16_t(0xD83D));
    const Case cases[] = {
        {"minus sign", QString::fromUtf8("a\u2212b"), "a?b", "a&#8722;b"},
        {"C1 control with no byte", QString(QChar(char16_t(0x0080))), "?", "&#128;"},
        {"C1 control of a gap", QString(QChar(char16_t(0x008D))), "\x8D", "\x8D"},
        {"CJK", QString::fromUtf8("\u6f22x"), "?x", "&#28450;x"},
        {"surrogate pair counts once", QString::fromUtf8("\U0001F600!"), "?!", "&#128512;!"},
        {"lone surrogate", QString(loneHigh) + "z", "?z", "&#65533;z"},
        {"ampersand stays itself", QString("&#1;"), "&#1;", "&#1;"},
        {"empty", QString(), "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToWindows1252(c.text), c.question) << c.name;
        EXPECT_EQ(ToWindows1252(c.text, Unmappable::Question), c.question) << c.name;
        EXPECT_EQ(ToWindows1252(c.text, Unmappable::CharacterReference), c.reference) << c.name;
    }
}

// A UTF-8 text (file names from the file system here) as an 8-bit text: each
// character to its byte, "?" for a character without one and for each invalid
// sequence (the longest start of a character it holds), and decoding gives the
// text back.
TEST(Windows1252, Utf8TextsToBytes) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"ascii", "/tmp/fw 1.hex", "/tmp/fw 1.hex"},
        {"e acute", "caf\xc3\xa9.hex", "caf\xe9.hex"},
        {"euro sign", "\xe2\x82\xac-fw", "\x80-fw"},
        {"en dash", "a \xe2\x80\x93 b", "a \x96 b"},
        {"unassigned byte's control", "\xc2\x81", "\x81"},
        {"greek delta", "\xce\x94.hex", "?.hex"},
        {"outside the plane", "\xf0\x9f\x98\x80.hex", "?.hex"},
        {"invalid byte",
         "a\xff"
         "b",
         "a?b"},
        {"stray continuation", "\x80z", "?z"},
        {"truncated character", "\xe2\x82z", "?z"},
        {"truncated at the end", "fw\xc3", "fw?"},
        {"overlong slash", "\xc0\xaf", "??"},
        {"surrogate", "\xed\xa0\x80", "???"},
        {"above the last code point", "\xf4\x90\x80\x80", "????"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::Utf8ToWindows1252(c.utf8), c.bytes) << c.name;
    }
    // What the status list reads back is the name as the file system has it.
    const std::string name =
        "Pr\xc3\xbc"
        "fung \xe2\x80\x93 \xe2\x82\xac.hex";
    EXPECT_EQ(FromWindows1252(platform::Utf8ToWindows1252(name)), QString::fromUtf8(name));
}
