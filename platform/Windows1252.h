#pragma once
// Windows-1252 (the 8-bit code page of the instrument's texts, the test names
// and the HTML report) to and from UTF-16.
//
// Qt guarantees no converter for this code page, and Latin-1 is wrong for
// 0x80 to 0x9F, where the en dash (0x96) and the right single quotation mark
// (0x92) of the test names lie. One 256-entry table serves both directions.
// The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 controls of the same value, and back, so every byte
// string survives a round trip unchanged.
#include <QString>
#include <string>
#include <string_view>

namespace platform {

// What the encoder writes for a character that has no byte in the code page.
enum class Unmappable {
    Question,            // "?" (one per character, a surrogate pair counts once)
    CharacterReference,  // an HTML/XML decimal character reference, "&#8722;"
};

// Each byte to its UTF-16 character.
QString FromWindows1252(std::string_view bytes);

// Each character to its byte; a character without one as `unmappable` says.
// A lone surrogate is unmappable too (its reference is "&#65533;").
std::string ToWindows1252(const QString& text, Unmappable unmappable = Unmappable::Question);

// The UTF-16 character of one byte.
char16_t Windows1252ToUtf16(unsigned char byte);

}  // namespace platform
