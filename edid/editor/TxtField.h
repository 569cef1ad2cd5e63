#pragma once
// TxtField: the hex view of the editor. Draws every block as a hex dump and
// marks, bold in the changed colours, each byte that differs from the
// block's reference copy (the bytes before the last edit).

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <cstdint>
#include <vector>

class TxtField : public QWidget {
public:
    explicit TxtField(QWidget* parent = nullptr);

    void SetFontName(const QString& name);
    // Painting off; painting on again (and a repaint).
    void Suspend();
    void Resume();
    void ClearBlocks();
    // Appends a block: its reference copy (or null) and its bytes; both are
    // copied, so the view never points into blocks that a later edit frees.
    void AddBlock(const uint8_t* reference, const uint8_t* bytes, int32_t length);
    void Update();

    int BlockCount() const { return static_cast<int>(bytes_.size()); }
    // The size the view needs for its blocks.
    QSize RequiredSize() const;
    // Where byte j of block i is drawn.
    QRect ByteRect(int block, int byte) const;

    QColor BackgroundColor() const { return background_; }
    QColor TextColor() const { return text_; }
    QColor ChangedTextColor() const { return changedText_; }
    QColor ChangedBackgroundColor() const { return changedBackground_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kMargin = 6;
    static constexpr int kRowsPerBlock = 10;  // title, eight rows of 16 bytes, an empty line

    int LineHeight() const;
    int ColumnX(int column) const;
    void FitSize();
    bool Changed(int block, int byte) const;

    bool painting_ = true;
    std::vector<QByteArray> references_;  // empty: no reference copy
    std::vector<QByteArray> bytes_;
    QFont font_;
    QFont bold_;
    QColor background_;
    QColor text_;
    QColor changedText_;
    QColor changedBackground_;
};
