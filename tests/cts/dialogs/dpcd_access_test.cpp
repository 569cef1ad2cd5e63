// The DPCD access dialog on its own: the hexadecimal parser, the checks of
// the two edits with their colours and buttons, the key filter, and the
// status line of each operation with its outcome.
#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <QPalette>

#include <cstdint>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "cts/dialogs/TDPCD_Access.h"

using namespace dialog_test;

namespace {

bool IsRed(const QLineEdit* edit) { return edit->palette().color(QPalette::Base) == QColor(Qt::red); }
bool IsWhite(const QLineEdit* edit) { return edit->palette().color(QPalette::Base) == QColor(Qt::white); }

// Shows the dialog as the main window does: modeless.
void ShowModeless(QDialog& dialog) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

TEST(DPCDAccessParseHex, DigitsUpToEightOtherwiseInvalid) {
    constexpr uint32_t kInvalid = TDPCD_Access::kInvalid;
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"", 0},
        {"2", 2},
        {"ff", 0xFF},
        {"FfA0", 0xFFA0},
        {"0009", 9},
        {"12345678", 0x12345678},
        {"abcdef01", 0xABCDEF01},
        // Nine digits are refused, even with leading zeros, and never
        // push the first digits out.
        {"123456789", kInvalid},
        {"000000001", kInvalid},
        {"1F00A0000", kInvalid},
        {"12g", kInvalid},
        {" 1", kInvalid},
        {"1 ", kInvalid},
        {"$1F", kInvalid},
        {"0x1F", kInvalid},
        {"-1", kInvalid},
        {"\xC3\xA4", kInvalid},  // a letter outside ASCII
        // Only ASCII digits and letters are hexadecimal digits: other
        // scripts' digits, fullwidth forms and the like are no number.
        {"\xEF\xBC\x91", kInvalid},      // fullwidth one
        {"2\xEF\xBC\x90", kInvalid},     // 2 and a fullwidth zero
        {"\xEF\xBC\xA1", kInvalid},      // fullwidth A
        {"\xD9\xA3", kInvalid},          // Arabic-Indic three
        {"\xDB\xB3", kInvalid},          // extended Arabic-Indic three
        {"\xE0\xA5\xA7", kInvalid},      // Devanagari one
        {"\xF0\x9D\x9F\x99", kInvalid},  // mathematical bold one (outside the 16-bit range)
        {"\xC2\xB9", kInvalid},          // superscript one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TDPCD_Access::ParseHex(QString::fromUtf8(c.text)), c.value);
    }
}

TEST(DPCDAccessDialog, InputChecksColourTheEditsAndEnableTheButtons) {
    TDPCD_Access dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("DPCD Read / Write"));
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: None"));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog.isModal());
    const struct {
        const char* address;
        const char* data;
        bool addressValid;
        bool dataValid;
    } cases[] = {
        {"2", "ff", true, true},
        {"", "", true, true},  // both read as 0
        {"FFFF", "0", true, true},
        {"10000", "0", false, true},  // the link carries 16 bits: larger is refused, not cut
        {"FFFFF", "1", false, true},
        {"1F00A", "", false, true},
        {"12g", "1", false, true},  // pasted
        {"123456789", "1", false, true},
        {"2", "100", true, false},
        {"2", "fg", true, false},
        {"fffffffff", "100", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " / " + c.data);
        dialog.ED_Address->setText(QString::fromLatin1(c.address));
        dialog.ED_Data->setText(QString::fromLatin1(c.data));
        EXPECT_EQ(IsRed(dialog.ED_Address), !c.addressValid);
        EXPECT_EQ(IsWhite(dialog.ED_Address), c.addressValid);
        EXPECT_EQ(IsRed(dialog.ED_Data), !c.dataValid);
        EXPECT_EQ(IsWhite(dialog.ED_Data), c.dataValid);
        EXPECT_EQ(dialog.BTN_Read->isEnabled(), c.addressValid);
        EXPECT_EQ(dialog.BTN_Write->isEnabled(), c.addressValid && c.dataValid);
    }
}

TEST(DPCDAccessDialog, KeyFilterPassesHexDigitsAndControlKeysOnly) {
    TDPCD_Access dialog;
    ShowModeless(dialog);
    QTest::keyClicks(dialog.ED_Address, QStringLiteral("1x2G!f -A"));
    EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("12fA"));
    QTest::keyClick(dialog.ED_Address, Qt::Key_Backspace);
    QTest::keyClick(dialog.ED_Address, Qt::Key_Left);
    QTest::keyClick(dialog.ED_Address, Qt::Key_Delete);
    EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("12"));
    QTest::keyClicks(dialog.ED_Data, QStringLiteral("zF.f"));
    EXPECT_EQ(dialog.ED_Data->text(), QStringLiteral("Ff"));
    dialog.close();
}

// Records the key presses that reach the dialog itself (those its edits
// let through and do not use).
class KeysReachingDialog : public QObject {
public:
    explicit KeysReachingDialog(QDialog& dialog) { dialog.installEventFilter(this); }
    std::vector<QString> texts;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) texts.push_back(static_cast<QKeyEvent*>(event)->text());
        return false;
    }
};

void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

TEST(DPCDAccessDialog, KeyFilterDropsEveryOtherCharacterBeforeTheDialogSeesIt) {
    TDPCD_Access dialog;
    KeysReachingDialog reaching(dialog);
    ShowModeless(dialog);
    dialog.activateWindow();
    dialog.ED_Address->setFocus();
    const struct {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* text;  // UTF-8
    } dropped[] = {
        {"Ctrl+[ (the Esc character, not the Esc key)", Qt::Key_BracketLeft, Qt::ControlModifier, "\x1b"},
        {"Ctrl+\\", Qt::Key_Backslash, Qt::ControlModifier, "\x1c"},
        {"Ctrl+]", Qt::Key_BracketRight, Qt::ControlModifier, "\x1d"},
        {"30", Qt::Key_AsciiCircum, Qt::ControlModifier, "\x1e"},
        {"31", Qt::Key_Underscore, Qt::ControlModifier, "\x1f"},
        {"Ctrl+Backspace as DEL", Qt::Key_Backspace, Qt::ControlModifier, "\x7f"},
        {"fullwidth one", 0, Qt::NoModifier, "\xEF\xBC\x91"},
        {"Arabic-Indic three", 0, Qt::NoModifier, "\xD9\xA3"},
        {"g", Qt::Key_G, Qt::NoModifier, "g"},
    };
    dialog.ED_Address->setText(QStringLiteral("1"));
    for (const auto& c : dropped) {
        SCOPED_TRACE(c.what);
        Press(dialog.ED_Address, c.key, c.modifiers, QString::fromUtf8(c.text));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("1"));
        EXPECT_TRUE(dialog.ED_Address->hasFocus());
    }
    EXPECT_TRUE(reaching.texts.empty()) << reaching.texts.size() << " keys reached the dialog";

    // The control characters 1 to 26 reach the edit: Ctrl+A selects all.
    Press(dialog.ED_Address, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_EQ(dialog.ED_Address->selectedText(), QStringLiteral("1"));
    Press(dialog.ED_Address, Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    EXPECT_EQ(dialog.ED_Address->text(), QString());
    dialog.close();
}

// Esc closes the dialog as "Close" does, whichever control has the focus;
// the edits and the status line stay for the next showing, and nothing is
// requested.
TEST(DPCDAccessDialog, EscClosesItFromEveryControl) {
    TDPCD_Access dialog;
    int requests = 0;
    dialog.ReadRequest = [&](uint32_t) { ++requests; };
    dialog.WriteRequest = [&](uint32_t, uint8_t) { ++requests; };
    const std::pair<QWidget*, const char*> targets[] = {
        {dialog.ED_Address, "address"}, {dialog.ED_Data, "data"},    {dialog.BTN_Read, "Read"},
        {dialog.BTN_Write, "Write"},    {dialog.BTN_Close, "Close"},
    };
    for (const auto& [target, name] : targets) {
        SCOPED_TRACE(name);
        ShowModeless(dialog);
        dialog.activateWindow();
        dialog.ED_Address->setText(QStringLiteral("12"));
        dialog.ED_Data->setText(QStringLiteral("3f"));
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("12"));
        EXPECT_EQ(dialog.ED_Data->text(), QStringLiteral("3f"));
        EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: None"));
    }
    EXPECT_EQ(requests, 0);
}

TEST(DPCDAccessDialog, EnterAsCarriageReturnOrLineFeedMovesOn) {
    const struct {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
    } enters[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, "\r"},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, "\r"},
        {"Ctrl+M", Qt::Key_M, Qt::ControlModifier, "\r"},
        {"Ctrl+J", Qt::Key_J, Qt::ControlModifier, "\n"},
    };
    TDPCD_Access dialog;
    int requests = 0;
    dialog.ReadRequest = [&](uint32_t) { ++requests; };
    dialog.WriteRequest = [&](uint32_t, uint8_t) { ++requests; };
    ShowModeless(dialog);
    dialog.activateWindow();
    dialog.ED_Address->setText(QStringLiteral("2"));
    dialog.ED_Data->setText(QStringLiteral("3"));
    for (const auto& c : enters) {
        SCOPED_TRACE(c.what);
        dialog.ED_Address->setFocus();
        Press(dialog.ED_Address, c.key, c.modifiers, QString::fromLatin1(c.text));
        EXPECT_TRUE(dialog.BTN_Read->hasFocus());
        dialog.ED_Data->setFocus();
        Press(dialog.ED_Data, c.key, c.modifiers, QString::fromLatin1(c.text));
        EXPECT_TRUE(dialog.BTN_Write->hasFocus());
        EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("2"));
        EXPECT_EQ(dialog.ED_Data->text(), QStringLiteral("3"));
    }
    EXPECT_EQ(requests, 0);
    dialog.close();
}

TEST(DPCDAccessDialog, EnterMovesToTheEnabledButtonWithoutPressingIt) {
    TDPCD_Access dialog;
    int requests = 0;
    dialog.ReadRequest = [&](uint32_t) { ++requests; };
    dialog.WriteRequest = [&](uint32_t, uint8_t) { ++requests; };
    ShowModeless(dialog);
    dialog.activateWindow();

    dialog.ED_Address->setText(QStringLiteral("2"));
    dialog.ED_Data->setText(QStringLiteral("100"));  // Write disabled
    dialog.ED_Address->setFocus();
    QTest::keyClick(dialog.ED_Address, Qt::Key_Return);
    EXPECT_TRUE(dialog.BTN_Read->hasFocus());

    dialog.ED_Data->setFocus();
    QTest::keyClick(dialog.ED_Data, Qt::Key_Enter);
    EXPECT_TRUE(dialog.ED_Data->hasFocus());  // nowhere to go
    dialog.ED_Data->setText(QStringLiteral("10"));
    QTest::keyClick(dialog.ED_Data, Qt::Key_Return);
    EXPECT_TRUE(dialog.BTN_Write->hasFocus());
    EXPECT_EQ(requests, 0);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: None"));
    dialog.close();
}

TEST(DPCDAccessDialog, EachOperationWritesItsStatusAndTakesItsOutcome) {
    TDPCD_Access dialog;
    std::vector<uint32_t> reads;
    std::vector<std::pair<uint32_t, uint8_t>> writes;
    dialog.ReadRequest = [&](uint32_t address) { reads.push_back(address); };
    dialog.WriteRequest = [&](uint32_t address, uint8_t data) { writes.emplace_back(address, data); };
    ShowModeless(dialog);
    dialog.activateWindow();
    // Each operation's ticket stays current until the next operation starts.
    const platform::Epoch::Ticket beforeAny = dialog.Operation();
    EXPECT_TRUE(beforeAny.Current());

    dialog.ED_Address->setText(QStringLiteral("2"));
    dialog.ED_Data->setText(QStringLiteral("ff"));
    QTest::mouseClick(dialog.BTN_Read, Qt::LeftButton);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Read $0002"));
    EXPECT_TRUE(dialog.ED_Address->hasFocus());
    EXPECT_EQ(reads, std::vector<uint32_t>{2});
    EXPECT_FALSE(beforeAny.Current());
    const platform::Epoch::Ticket read = dialog.Operation();
    dialog.ShowReadResult(true, 0x41);
    EXPECT_TRUE(read.Current()) << "an outcome starts no operation";
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Read $0002 (=$41)"));

    QTest::mouseClick(dialog.BTN_Write, Qt::LeftButton);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Write $ff -> $0002"));
    EXPECT_TRUE(dialog.ED_Data->hasFocus());
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (std::pair<uint32_t, uint8_t>{2, 0xFF}));
    EXPECT_FALSE(read.Current());
    dialog.ShowWriteResult(true);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Write $ff -> $0002 - OK"));

    dialog.ED_Data->setText(QStringLiteral("a"));
    dialog.ED_Address->setText(QStringLiteral("FfFf"));
    QTest::mouseClick(dialog.BTN_Write, Qt::LeftButton);
    dialog.ShowWriteResult(false);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Write $0a -> $ffff - Failed"));

    // An empty address reads address 0.
    dialog.ED_Address->clear();
    QTest::mouseClick(dialog.BTN_Read, Qt::LeftButton);
    dialog.ShowReadResult(false, 0x41);
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Read $0000 - Failed"));
    EXPECT_EQ(reads, (std::vector<uint32_t>{2, 0}));

    // Disabled buttons send nothing and start no operation.
    const platform::Epoch::Ticket last = dialog.Operation();
    dialog.ED_Address->setText(QStringLiteral("10000"));
    QTest::mouseClick(dialog.BTN_Read, Qt::LeftButton);
    QTest::mouseClick(dialog.BTN_Write, Qt::LeftButton);
    EXPECT_EQ(reads.size(), 2u);
    EXPECT_EQ(writes.size(), 2u);
    EXPECT_TRUE(last.Current());
    dialog.close();
}

TEST(DPCDAccessDialog, CloseOnlyHidesAndEverythingStays) {
    TDPCD_Access dialog;
    ShowModeless(dialog);
    dialog.ED_Address->setText(QStringLiteral("12"));
    dialog.ED_Data->setText(QStringLiteral("3"));
    QTest::mouseClick(dialog.BTN_Read, Qt::LeftButton);  // no requester: the status line only
    QTest::mouseClick(dialog.BTN_Close, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    ShowModeless(dialog);
    EXPECT_EQ(dialog.ED_Address->text(), QStringLiteral("12"));
    EXPECT_EQ(dialog.ED_Data->text(), QStringLiteral("3"));
    EXPECT_EQ(dialog.LBL_Status->text(), QStringLiteral("Previous Op: Read $0012"));
    dialog.close();
}

}  // namespace
