// The hex view: its size rule, what it draws where, and the marking of the
// bytes that differ from the reference copy, read from its rendered pixels.

#include "EditorTestSupport.h"

#include "edid/editor/TxtField.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>

using namespace editor_test;

namespace {

// How many pixels of the colour lie inside the rectangle of the image.
int PixelsOf(const QImage& image, const QRect& rect, QColor colour) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb()) ++n;
        }
    }
    return n;
}

// A marked cell is filled with the changed background; an unmarked one
// shows that colour at most in a few anti-aliased pixels of its glyphs.
bool Marked(const QImage& image, const QRect& cell, QColor colour) {
    return PixelsOf(image, cell, colour) * 3 > cell.width() * cell.height();
}

QImage Render(TxtField& view) {
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    view.render(&image);
    return image;
}

Block Pattern(uint8_t start) {
    Block b{};
    for (int i = 0; i < 128; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(start + i);
    return b;
}

}  // namespace

TEST(HexView, SizeFollowsTheBlockCount) {
    TxtField view;
    view.SetFontName(QStringLiteral("Courier New"));
    const QSize empty = view.size();
    // No blocks: 12 - L pixels high, or 1 when the line height exceeds 12.
    EXPECT_GE(empty.height(), 1);
    const Block a = Pattern(0);
    view.AddBlock(nullptr, a.data(), 128);
    const QSize one = view.size();
    view.AddBlock(nullptr, a.data(), 128);
    const QSize two = view.size();
    EXPECT_EQ(one.width(), two.width());
    const int line = (two.height() - one.height()) / 10;  // ten rows per block
    EXPECT_GT(line, 2);
    EXPECT_EQ(one.height(), 9 * line + 12);
    EXPECT_EQ(empty.height(), std::max(1, 12 - line));
    view.ClearBlocks();
    EXPECT_EQ(view.size(), empty);
}

TEST(HexView, MarksExactlyTheChangedBytes) {
    TxtField view;
    view.SetFontName(QStringLiteral("Courier New"));
    const Block ref = Pattern(0x10);
    Block now = ref;
    now[5] ^= 0xFF;
    now[127] ^= 0x01;
    view.Suspend();
    view.AddBlock(ref.data(), now.data(), 128);
    view.AddBlock(nullptr, now.data(), 128);  // no reference copy: nothing marked
    view.Resume();
    const QImage image = Render(view);
    const QColor marked = view.ChangedBackgroundColor();
    const QColor yellow = view.ChangedTextColor();
    ASSERT_NE(marked.rgb(), view.BackgroundColor().rgb());
    for (int block = 0; block < 2; ++block) {
        for (int j = 0; j < 128; ++j) {
            const QRect cell = view.ByteRect(block, j);
            const bool changed = block == 0 && (j == 5 || j == 127);
            EXPECT_EQ(Marked(image, cell, marked), changed) << block << "/" << j;
            EXPECT_EQ(PixelsOf(image, cell, yellow) > 0, changed) << block << "/" << j;
        }
    }
}

TEST(HexView, PaintsOnlyTheRowsItIsAskedFor) {
    TxtField view;
    const Block a = Pattern(0);
    Block b = a;
    b[0] = 0xEE;
    b[127] = 0xEE;
    view.AddBlock(a.data(), b.data(), 128);
    // Rendering only the first row's band draws byte 0's mark, not byte 127's.
    const QRect first = view.ByteRect(0, 0);
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    view.render(&image, QPoint(), QRegion(0, 0, view.width(), first.bottom() + 1));
    EXPECT_TRUE(Marked(image, first, view.ChangedBackgroundColor()));
    EXPECT_EQ(PixelsOf(image, view.ByteRect(0, 127), view.ChangedBackgroundColor()), 0);
}

TEST(HexView, TheEditorMarksWhatTheLastSetChanged) {
    EditorInstance ed;
    TECForm* form = ed.Form();
    ASSERT_NE(form, nullptr);
    form->show();
    ASSERT_EQ(ed.Add(BaseBlock()), 0);
    QTest::mouseClick(form->BTN_ShowHex, Qt::LeftButton);
    Select(form, ed.Find(QStringLiteral(":/0/Version/Vendor & Product ID/Week of manufacture")));
    form->ED_Numeric->setText(QStringLiteral("20"));
    form->BTN_SetValueClick();
    TxtField* view = form->HexView();
    const QImage image = Render(*view);
    const QColor marked = view->ChangedBackgroundColor();
    for (int j = 0; j < 128; ++j) {
        // Byte 16 (the week) and byte 127 (the checksum) changed.
        EXPECT_EQ(Marked(image, view->ByteRect(0, j), marked), j == 16 || j == 127) << j;
    }
    // The next Set marks only its own change.
    form->ED_Numeric->setText(QStringLiteral("20"));
    form->BTN_SetValueClick();
    const QImage again = Render(*view);
    for (int j = 0; j < 128; ++j) EXPECT_FALSE(Marked(again, view->ByteRect(0, j), marked)) << j;
}
