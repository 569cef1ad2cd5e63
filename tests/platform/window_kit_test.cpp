// The window kit: named controls, the dialog button row, plain labels, the
// message list and the lamp; and the probe that GUI tests find controls with.
#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/gui/FormKit.h"
#include "platform/gui/Lamp.h"
#include "platform/gui/MessageList.h"
#include "support/Probe.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QVBoxLayout>

#include <functional>

using platform::Lamp;
using test_support::FindControl;
using test_support::Probe;

TEST(FormKit, CreatesEachControlWithItsNameParentAndArguments) {
    QWidget window;
    window.setObjectName(QStringLiteral("KitForm"));
    QFrame* panel = platform::Panel(&window, "PNL_Values");
    auto* edit = platform::Named<QLineEdit>(panel, "ED_Value", QStringLiteral("0"));
    QPushButton* ok = platform::Button(panel, "BTN_Ok", QStringLiteral("&OK"));
    QLabel* label = platform::PlainLabel(panel, "LB_Value");
    auto* lamp = platform::Named<Lamp>(panel, "S_Led1");
    auto* log = platform::Named<platform::MessageList>(&window, "LB_Log");

    EXPECT_EQ(Probe<QFrame>(&window, "PNL_Values"), panel);
    EXPECT_EQ(Probe<QLineEdit>(&window, "ED_Value"), edit);
    EXPECT_EQ(Probe<QPushButton>(&window, "BTN_Ok"), ok);
    EXPECT_EQ(Probe<QLabel>(&window, "LB_Value"), label);
    EXPECT_EQ(Probe<Lamp>(&window, "S_Led1"), lamp);
    EXPECT_EQ(Probe<platform::MessageList>(&window, "LB_Log"), log);
    EXPECT_EQ(edit->parentWidget(), panel);
    EXPECT_EQ(edit->text(), QStringLiteral("0"));
    EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);
    // A button keeps its caption as Qt reads it, and Enter elsewhere does not press it.
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_FALSE(ok->autoDefault());
    EXPECT_FALSE(ok->isDefault());
}

TEST(FormKit, ButtonRowPutsTheButtonsAtTheRightInTheirOrder) {
    QWidget dialog;
    auto* layout = new QVBoxLayout(&dialog);
    QPushButton* ok = platform::Button(&dialog, "BTN_OK", QStringLiteral("OK"));
    QPushButton* cancel = platform::Button(&dialog, "BTN_Cancel", QStringLiteral("Cancel"));
    layout->addLayout(platform::ButtonRow({ok, cancel}));
    dialog.resize(500, 80);
    layout->activate();

    EXPECT_LT(ok->geometry().right(), cancel->geometry().left());
    EXPECT_EQ(cancel->geometry().right(), layout->contentsRect().right());
    EXPECT_GT(ok->geometry().left(), dialog.width() / 2);
}

// A plain label shows every character it is given: markup, "&" and line breaks
// appear as they are.
TEST(PlainLabel, ShowsItsTextExactlyAsGiven) {
    QWidget window;
    QLabel* label = platform::PlainLabel(&window, "LB_Value");
    for (const QString& text : {QStringLiteral("<b>x</b>"), QStringLiteral("<i>a</i> & b"), QStringLiteral("a && b"),
                                QStringLiteral("&Monitor")}) {
        label->setText(text);
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << text.toStdString();
        EXPECT_EQ(label->text(), text);
        // Every character is laid out: as markup, "<b>x</b>" would take the width of one "x".
        EXPECT_GE(label->sizeHint().width(), QFontMetrics(label->font()).horizontalAdvance(text)) << text.toStdString();
    }
    // The width measure above tells markup from plain text.
    QLabel rich;
    rich.setTextFormat(Qt::RichText);
    rich.setText(QStringLiteral("<b>x</b>"));
    EXPECT_LT(rich.sizeHint().width(), QFontMetrics(rich.font()).horizontalAdvance(QStringLiteral("<b>x</b>")));
}

TEST(PlainLabel, ACaptionIsWrittenLikeAButtonsCaption) {
    struct Case {
        QString caption;
        QString shown;
    };
    const Case cases[] = {
        {QStringLiteral("Channels 1 && 2"), QStringLiteral("Channels 1 & 2")},
        {QStringLiteral("&Clear"), QStringLiteral("Clear")},
        {QStringLiteral("a&&&&b"), QStringLiteral("a&&b")},
        {QStringLiteral("<b>N/A</b>"), QStringLiteral("<b>N/A</b>")},
        {QStringLiteral("end &"), QStringLiteral("end ")},
    };
    QWidget window;
    for (const Case& c : cases) {
        QLabel* label = platform::PlainLabel(&window, "LB_Caption", c.caption);
        EXPECT_EQ(label->text(), c.shown) << c.caption.toStdString();
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        delete label;
    }
}

TEST(MessageList, KeepsLinesAsGivenAndCopiesThemAll) {
    platform::MessageList list;
    EXPECT_EQ(list.AllLines(), QString());
    const QString lines[] = {QStringLiteral("<b>Error</b>: no reply"), QStringLiteral("Channels 1 && 2"),
                             QStringLiteral(""), QStringLiteral("last")};
    for (const QString& line : lines) list.AddLine(line);
    ASSERT_EQ(list.count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list.item(i)->data(Qt::DisplayRole).toString(), lines[i]);
    const QString all = QStringLiteral("<b>Error</b>: no reply\nChannels 1 && 2\n\nlast\n");
    EXPECT_EQ(list.AllLines(), all);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    list.CopyAllLines();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);
}

namespace {

QImage Rendered(Lamp& lamp) {
    QImage image(lamp.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    lamp.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace

TEST(Lamp, ShowsTheColourOfItsStateOrAnyColourGiven) {
    Lamp lamp;
    EXPECT_EQ(lamp.Color(), QColor(128, 128, 128));  // a new lamp is off
    struct Case {
        Lamp::State state;
        QColor color;
    };
    for (const Case& c : {Case{Lamp::State::On, QColor(0, 255, 0)}, Case{Lamp::State::Fault, QColor(255, 0, 0)},
                          Case{Lamp::State::Off, QColor(128, 128, 128)}}) {
        lamp.SetState(c.state);
        EXPECT_EQ(lamp.Color(), c.color) << c.color.name().toStdString();
    }
    const QColor own = QColor(0x40, 0xE0, 0x40);
    lamp.SetColor(own);
    EXPECT_EQ(lamp.Color(), own);
}

// A filled circle with a dark outline, centred in the lamp's rectangle.
TEST(Lamp, PaintsARoundLampInItsColour) {
    Lamp lamp;
    lamp.resize(15, 21);
    lamp.SetState(Lamp::State::Fault);
    QImage image = Rendered(lamp);
    EXPECT_EQ(image.pixelColor(7, 10), QColor(255, 0, 0));
    for (QPoint corner : {QPoint(0, 3), QPoint(14, 3), QPoint(0, 17), QPoint(14, 17), QPoint(7, 1), QPoint(7, 19)}) {
        EXPECT_EQ(image.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    }
    const QColor edge = image.pixelColor(0, 10);
    EXPECT_GT(edge.alpha(), 128);
    EXPECT_LT(qGray(edge.rgb()), 64);

    lamp.SetState(Lamp::State::On);
    image = Rendered(lamp);
    EXPECT_EQ(image.pixelColor(7, 10), QColor(0, 255, 0));
}

TEST(Lamp, TakesAnOutlineOfItsOwnUntilAColourWithoutOneIsGiven) {
    Lamp lamp;
    lamp.resize(15, 21);
    EXPECT_EQ(lamp.Outline(), QColor(Qt::black));
    const QColor fill(0, 0, 255), outline(255, 255, 0);
    lamp.SetColor(fill, outline);
    EXPECT_EQ(lamp.Color(), fill);
    EXPECT_EQ(lamp.Outline(), outline);
    const QColor edge = Rendered(lamp).pixelColor(0, 10);
    EXPECT_GT(edge.alpha(), 128);
    EXPECT_GT(edge.red(), 128);
    EXPECT_GT(edge.green(), 128);
    EXPECT_LT(edge.blue(), 64);

    lamp.SetState(Lamp::State::Fault);
    EXPECT_EQ(lamp.Outline(), QColor(Qt::black));
    EXPECT_LT(qGray(Rendered(lamp).pixelColor(0, 10).rgb()), 64);
}

namespace {

// A window class without Q_OBJECT, as most of the suite's windows are.
class PlainWindowClass : public QWidget {
public:
    using QWidget::QWidget;
};

// Runs probe, keeping what it reports; true when it ended the test.
bool Ended(const std::function<void()>& probe, testing::TestPartResultArray& reported) {
    testing::ScopedFakeTestPartResultReporter reporter(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &reported);
    try {
        probe();
    } catch (const testing::AssertionException&) {
        return true;
    }
    return false;
}

}  // namespace

TEST(Probe, FindsAControlByNameAndTypeOnly) {
    QWidget window;
    window.setObjectName(QStringLiteral("KitForm"));
    platform::PlainLabel(&window, "X_Twin");
    QPushButton* twin = platform::Button(&window, "X_Twin", QStringLiteral("Twin"));
    platform::Named<QWidget>(&window, "W_Plain");
    auto* own = platform::Named<PlainWindowClass>(&window, "W_Own");

    EXPECT_EQ(Probe<QPushButton>(&window, "X_Twin"), twin);
    EXPECT_EQ(Probe<PlainWindowClass>(&window, "W_Own"), own);
    // findChild<PlainWindowClass*> would take the plain QWidget.
    testing::TestPartResultArray wrongType;
    EXPECT_TRUE(Ended([&] { Probe<PlainWindowClass>(&window, "W_Plain"); }, wrongType));
    ASSERT_EQ(wrongType.size(), 1);
    EXPECT_THAT(wrongType.GetTestPartResult(0).message(),
                testing::AllOf(testing::HasSubstr("\"W_Plain\" in QWidget \"KitForm\" is a QWidget, not a "),
                               testing::HasSubstr("PlainWindowClass")));
}

TEST(Probe, AMissingControlFailsAtTheCallersLineWithItsNameAndType) {
    QWidget window;
    window.setObjectName(QStringLiteral("KitForm"));
    int probeLine = 0;

    const auto probeThenGoOn = [&] {
        probeLine = __LINE__ + 1;
        Probe<QPushButton>(&window, "BTN_Missing");
        ADD_FAILURE() << "the test went on";
    };
    testing::TestPartResultArray fatal;
    EXPECT_TRUE(Ended(probeThenGoOn, fatal));
    ASSERT_EQ(fatal.size(), 1);
    const testing::TestPartResult& failure = fatal.GetTestPartResult(0);
    EXPECT_TRUE(failure.fatally_failed());
    EXPECT_THAT(failure.message(), testing::HasSubstr("no QPushButton named \"BTN_Missing\" in QWidget \"KitForm\""));
    EXPECT_STREQ(failure.file_name(), __FILE__);
    EXPECT_EQ(failure.line_number(), probeLine);

    QLineEdit before;
    QLineEdit* found = &before;
    testing::TestPartResultArray nonFatal;
    EXPECT_FALSE(Ended([&] { found = FindControl<QLineEdit>(&window, "ED_Missing"); }, nonFatal));
    EXPECT_EQ(found, nullptr);
    ASSERT_EQ(nonFatal.size(), 1);
    EXPECT_TRUE(nonFatal.GetTestPartResult(0).nonfatally_failed());
    EXPECT_THAT(nonFatal.GetTestPartResult(0).message(), testing::HasSubstr("no QLineEdit named \"ED_Missing\""));
}
