#include "edid/editor/TxtField.h"

#include "edid/core/ECFormat.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace {

// The widest row of a block: offset, then four groups of four bytes.
const char kRowTemplate[] = "888  88 88 88 88  88 88 88 88  88 88 88 88  88 88 88 88 ";

}  // namespace

TxtField::TxtField(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TxtField"));
    background_ = palette().color(QPalette::Button);
    text_ = Qt::black;
    changedText_ = Qt::yellow;
    changedBackground_ = palette().color(QPalette::Dark);
    SetFontName(QStringLiteral("Courier New"));
    resize(10, 10);
}

void TxtField::SetFontName(const QString& name) {
    font_ = QFont(name);
    font_.setStyleHint(QFont::TypeWriter);
    font_.setFixedPitch(true);
    // The columns need a monospaced font: where the named one is missing and
    // its stand-in is not monospaced, the system's fixed font is used.
    if (!QFontInfo(font_).fixedPitch()) {
        const qreal size = font_.pointSizeF();
        font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (size > 0) font_.setPointSizeF(size);
    }
    bold_ = font_;
    bold_.setBold(true);
    setFont(font_);
    Update();
}

void TxtField::Suspend() { painting_ = false; }

void TxtField::Resume() {
    painting_ = true;
    Update();
}

void TxtField::ClearBlocks() {
    references_.clear();
    bytes_.clear();
    Update();
}

void TxtField::AddBlock(const uint8_t* reference, const uint8_t* bytes, int32_t length) {
    const qsizetype n = bytes && length > 0 ? length : 0;
    bytes_.emplace_back(reinterpret_cast<const char*>(bytes), n);
    references_.push_back(reference && n ? QByteArray(reinterpret_cast<const char*>(reference), n) : QByteArray());
    Update();
}

void TxtField::Update() {
    if (!painting_) return;
    FitSize();
    update();
}

int TxtField::LineHeight() const { return QFontMetrics(font_).height() + 2; }

QSize TxtField::RequiredSize() const {
    const QFontMetrics fm(font_);
    const int width = fm.horizontalAdvance(QString::fromLatin1(kRowTemplate)) + 12;
    int height = (BlockCount() * kRowsPerBlock - 1) * LineHeight() + 12;
    if (height < 0) height = 1;
    return {width, height};
}

void TxtField::FitSize() {
    const QSize wanted = RequiredSize();
    if (size() != wanted) resize(wanted);
}

int TxtField::ColumnX(int column) const {
    // Four offset digits and two spaces, three characters per byte, and one
    // more space after every fourth byte (the font is monospaced).
    const int chars = 6 + 3 * column + column / 4;
    return kMargin + QFontMetrics(font_).horizontalAdvance(QString(chars, QLatin1Char('8')));
}

QRect TxtField::ByteRect(int block, int byte) const {
    const int line = LineHeight();
    const int y = kMargin + (block * kRowsPerBlock + 1 + byte / 16) * line;
    const QFontMetrics fm(byte >= 0 && Changed(block, byte) ? bold_ : font_);
    return {ColumnX(byte % 16), y, fm.horizontalAdvance(QStringLiteral("88")), fm.height()};
}

bool TxtField::Changed(int block, int byte) const {
    if (block < 0 || block >= BlockCount()) return false;
    const QByteArray& ref = references_[static_cast<size_t>(block)];
    const QByteArray& now = bytes_[static_cast<size_t>(block)];
    if (ref.isEmpty() || byte < 0 || byte >= now.size() || byte >= ref.size()) return false;
    return ref.at(byte) != now.at(byte);
}

void TxtField::paintEvent(QPaintEvent* event) {
    if (!painting_) return;
    if (size() != RequiredSize()) {
        // The next paint draws at the new size.
        FitSize();
        update();
        return;
    }
    QPainter p(this);
    p.fillRect(rect(), background_);
    const int line = LineHeight();
    const QRect dirty = event->rect();
    const QFontMetrics normal(font_);
    const QFontMetrics bold(bold_);

    auto draw = [&](const QString& text, int x, int y, const QFont& font, const QFontMetrics& fm, QColor fg,
                    QColor bg) {
        p.setFont(font);
        p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), bg);
        p.setPen(fg);
        p.drawText(x, y + fm.ascent(), text);
    };
    // Only the rows that intersect the area to paint are drawn.
    auto visible = [&](int y) { return y + line > dirty.top() && y <= dirty.bottom(); };

    for (int i = 0; i < BlockCount(); ++i) {
        const int top = kMargin + i * kRowsPerBlock * line;
        if (top > dirty.bottom()) break;
        if (top + kRowsPerBlock * line <= dirty.top()) continue;
        if (visible(top)) draw(ECFormatW("Block-%d", i), kMargin, top, bold_, bold, text_, background_);
        const QByteArray& now = bytes_[static_cast<size_t>(i)];
        for (int row = 0; row * 16 < now.size(); ++row) {
            const int y = top + (1 + row) * line;
            if (!visible(y)) continue;
            draw(ECFormatW("%.4x", i * 128 + row * 16), kMargin, y, font_, normal, Qt::black, background_);
            for (int k = 0; k < 16 && row * 16 + k < now.size(); ++k) {
                const int j = row * 16 + k;
                const QString hex = ECFormatW("%.2x", static_cast<uint8_t>(now.at(j)));
                if (Changed(i, j)) {
                    draw(hex, ColumnX(k), y, bold_, bold, changedText_, changedBackground_);
                } else {
                    draw(hex, ColumnX(k), y, font_, normal, text_, background_);
                }
            }
        }
    }
}
