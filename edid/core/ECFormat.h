#pragma once
// Locale-independent printf-style formatting and C-style number reading.
// QCoreApplication sets the C library's locale from the environment, so plain
// printf("%g") would print "2,2" on a German desktop; these helpers always
// work in the "C" locale.

#include <QString>

#include <cstdint>
#include <string>

// printf-style formatting in the "C" locale, 8-bit result.
std::string ECFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same, widened to a QString (Latin-1, the 8-bit code page of the library).
QString ECFormatW(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Decimal text to integer the way the C runtime reads it: leading white space,
// optional sign, digits; stops at the first other character; 0 when none.
// Values beyond the 32-bit range saturate.
int32_t ECTextToInt(const QString& text);
// Text to double the way strtod reads it in the "C" locale (0 when none).
double ECTextToDouble(const QString& text);
// strtod in the "C" locale; *end (if given) receives the stop position.
double ECStrToDouble(const char* text, char** end);

// 8-bit library texts (entry names, codec messages) are Latin-1: the stand-in
// for the ANSI code page of the original platform.
inline QString ECWiden(const char* text) { return QString::fromLatin1(text); }
inline QString ECWiden(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string ECNarrow(const QString& text) { return text.toLatin1().toStdString(); }
