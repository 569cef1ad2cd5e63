// The editor's pure text rules: shortened path labels, line splitting of
// item lists and details texts, and captions that show "&" as itself.

#include "edid/editor/EditorTexts.h"

#include <gtest/gtest.h>

using namespace editor_text;

namespace {

struct PathCase {
    const char* path;
    int maxChars;  // the label's width, one unit per character
    const char* shown;
};

const PathCase kPathCases[] = {
    // Fits: shown whole.
    {":/0/Version", 40, "Details of \":/0/Version\""},
    // Everything up to the first "/" goes, "..." in front; ":/" becoming
    // "..." is wider, so here two steps are needed.
    {":/0/Version/Week", 28, "Details of \"...Version/Week\""},
    // Several steps until it fits.
    {":/0/Version/18-Byte data blocks/Descriptor 1/Pixel Clock", 40, "Details of \"...Descriptor 1/Pixel Clock\""},
    // Down to the last component, which stays even when still too wide.
    {":/0/Version/A very long field name indeed", 20, "Details of \"...A very long field name indeed\""},
    // A single component is never shortened.
    {"Collection 1", 5, "Details of \"Collection 1\""},
};

}  // namespace

TEST(EditorTexts, PathLabelIsShortenedFromTheLeft) {
    for (const PathCase& c : kPathCases) {
        const QString text =
            PathLabelText(QString::fromLatin1(c.path), [&](const QString& t) { return t.size() <= c.maxChars; });
        EXPECT_EQ(text, QString::fromLatin1(c.shown)) << c.path << " in " << c.maxChars;
    }
}

TEST(EditorTexts, LinesEndAtCrLfCrOrLf) {
    EXPECT_EQ(SplitLines(QStringLiteral("A\r\nB\rC\nD")), (QStringList{"A", "B", "C", "D"}));
    // A final line break starts no further line; empty lines inside are kept.
    EXPECT_EQ(SplitLines(QStringLiteral("A\r\n\r\nB\r\n")), (QStringList{"A", "", "B"}));
    EXPECT_TRUE(SplitLines(QString()).isEmpty());
}

TEST(EditorTexts, DetailsRowsSplitAtTheFirstEqualsSign) {
    const auto rows = SplitNameValueRows(QStringLiteral("Codec=V1.0.21\r\n = \nA=b=c\nNoValue"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::pair<QString, QString>{"Codec", "V1.0.21"}));
    // The separator line " = " is an empty row.
    EXPECT_EQ(rows[1], (std::pair<QString, QString>{" ", " "}));
    EXPECT_EQ(rows[2], (std::pair<QString, QString>{"A", "b=c"}));
    EXPECT_EQ(rows[3], (std::pair<QString, QString>{"NoValue", ""}));
}

TEST(EditorTexts, CaptionsShowAmpersandsAsThemselves) {
    EXPECT_EQ(Caption(QStringLiteral("Vendor & Product ID")), QStringLiteral("Vendor && Product ID"));
    EXPECT_EQ(Caption(QStringLiteral("&&")), QStringLiteral("&&&&"));
    EXPECT_EQ(Caption(QStringLiteral("Plain")), QStringLiteral("Plain"));
}
