#include <gtest/gtest.h>

#include "cts/GeometryOptions.h"

TEST(ParseIntOption, NumberSyntax) {
    struct Case {
        const char* text;
        int32_t value;  // with the default 777
    };
    const Case cases[] = {
        {"", 777},
        {"100", 100},
        {"$1f", 31},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X1F", 31},
        {"1,024", 1024},
        {"12a", 777},
        {"12k", 12},
        {"-5", 5},
        {" 12", 12},
        {"$", 0},
        {",", 0},
        {"1$", 777},
        {"$$1", 777},
        {"x5", 777},
        {"1x5", 777},
        {"00x5", 777},
        {"0x", 0},
        {"$x10", 16},
        {"0xg", 0},
        {"$ffffffff", -1},
        {"4294967296", 0},
        {"4294967297", 1},
        {"2147483648", INT32_MIN},
        {"0x1_0", 16},
        // Only ASCII characters are digits; others are skipped like ",".
        {"\xEF\xBC\x91\xEF\xBC\x92", 0},  // fullwidth 12
        {"1\xD9\xA3", 1},                 // 1 and an Arabic-Indic 3
        {"$\xEF\xBC\xA1", 0},             // $ and a fullwidth A
        {"2\xE0\xA5\xA7"
         "0",
         20},  // a Devanagari 1 between 2 and 0
    };
    for (const Case& c : cases) EXPECT_EQ(ParseIntOption(c.text, 777), c.value) << '"' << c.text << '"';
}

TEST(ParseIntOption, GeometryFromTheCommandLine) {
    const WindowGeometry stored{10, 20, 1000, 700};
    struct Case {
        QStringList arguments;
        WindowGeometry geometry;
    };
    const Case cases[] = {
        {{"/usr/bin/vardeko"}, {10, 20, 1000, 700}},
        {{"vardeko", "-x100", "-y$20", "-w0x400", "-h900"}, {100, 32, 1024, 900}},
        {{"vardeko", "-w500", "-h400"}, {10, 20, 780, 600}},
        {{"vardeko", "-W900", "-H$2FF"}, {10, 20, 900, 767}},
        {{"vardeko", "-h12a", "-y"}, {10, 20, 1000, 700}},
        {{"vardeko", "-y", "100"}, {10, 20, 1000, 700}},
        {{"vardeko", "x5", "-z5", "--x5", "-"}, {10, 20, 1000, 700}},
        {{"vardeko", "-x5", "-x-7"}, {7, 20, 1000, 700}},
        {{"-x3"}, {3, 20, 1000, 700}},
        {{"vardeko", "-w1,280", "-x0x10", "-x$"}, {0, 20, 1280, 700}},
    };
    for (const Case& c : cases) {
        const WindowGeometry g = ApplyGeometryArguments(c.arguments, stored);
        EXPECT_EQ(g, c.geometry) << c.arguments.join(' ').toStdString() << ": " << g.left << ',' << g.top << ' '
                                 << g.width << 'x' << g.height;
    }
    // A stored size below the minimum is raised too.
    EXPECT_EQ(ApplyGeometryArguments({}, {0, 0, 100, 100}), (WindowGeometry{0, 0, 780, 600}));
}
