#pragma once
// The Qt-free core of the Windows-1252 conversion: bytes to and from Unicode
// code points, and UTF-8 texts to Windows-1252 bytes. The link and the
// console updater use it directly; platform/Windows1252.h wraps it for QString.
//
// Latin-1 is wrong for 0x80 to 0x9F, where the en dash (0x96) and the right
// single quotation mark (0x92) of the test names lie. The five bytes the code
// page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// controls of the same value, and back, so every byte string survives a round
// trip unchanged.
#include <string>
#include <string_view>

namespace platform {

// The code point of one byte.
char32_t Windows1252ToCodePoint(unsigned char byte);

// The byte of a code point, or -1 when the code page has none.
int CodePointToWindows1252(char32_t c);

// A UTF-8 text (a file name as the file system spells it, for example) in
// Windows-1252 bytes, for an 8-bit text. An invalid UTF-8 sequence and a
// character without a byte in the code page each become one "?".
std::string Utf8ToWindows1252(std::string_view text);

}  // namespace platform
