#pragma once
// Windows-1252 (the 8-bit code page of the instrument's texts, the test names
// and the HTML report) to and from UTF-16.
//
// Qt guarantees no converter for this code page; this wraps the Qt-free
// conversion of platform/Windows1252Bytes.h (its table and its rules) for
// QString.
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
