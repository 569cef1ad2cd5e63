#pragma once
// The main window's geometry switches on the command line: -x, -y, -w and -h
// set left, top, width and height, the number directly after the letter in
// the same argument (-x100, -w0x400, -h$258).
#include <QString>
#include <QStringList>
#include <cstdint>

struct WindowGeometry {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const WindowGeometry&) const = default;
};

// Width and height are raised to at least these after the switches.
constexpr int32_t kMinGeometryWidth = 780;
constexpr int32_t kMinGeometryHeight = 600;

// A switch's number, read from the lower-cased text (the function lower-cases
// it itself as well): decimal, or hexadecimal after "$" in the first place or
// "x" in the second while the value is still 0 ("0x"); other characters are
// skipped (-w1,024 is 1024). An empty text, "$" or "x" anywhere else, or a
// digit not below the base (12a in decimal) gives `defaultValue`. The value
// wraps in 32 bits.
int32_t ParseIntOption(const QString& text, int32_t defaultValue);

// One argument: "-x", "-y", "-w" or "-h" followed by the number sets that
// field to ParseIntOption(the rest, its current value); any other argument
// changes nothing. The argument is lower-cased first.
void ParseGeometrySwitch(const QString& argument, WindowGeometry& geometry);

// The geometry after every argument (the program path in argument 0 too),
// starting from `stored`, with width and height raised to 780 and 600.
WindowGeometry ApplyGeometryArguments(const QStringList& arguments, WindowGeometry stored);
