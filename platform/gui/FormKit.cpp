#include "platform/gui/FormKit.h"

#include <QLocale>

namespace platform {

namespace {

// The text a caption shows: each "&" is dropped and the character after it
// kept, so "&&" becomes one "&".
QString ShownCaption(const QString& caption) {
    QString shown;
    shown.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && ++i == caption.size()) break;
        shown += caption[i];
    }
    return shown;
}

}  // namespace

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* button = Named<QPushButton>(parent, name, caption);
    button->setAutoDefault(false);
    return button;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* button : buttons) row->addWidget(button);
    return row;
}

QLabel* PlainLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = Named<QLabel>(parent, name);
    label->setTextFormat(Qt::PlainText);
    label->setText(ShownCaption(caption));
    return label;
}

QFrame* Panel(QWidget* parent, const char* name) {
    auto* frame = Named<QFrame>(parent, name);
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

QProgressBar* ProgressBar(QWidget* parent, const char* name) {
    auto* bar = Named<QProgressBar>(parent, name);
    // The bar formats its value and its default "%p%" text with its own
    // locale; one set on the bar itself is kept whatever its window's is.
    bar->setLocale(QLocale::c());
    return bar;
}

}  // namespace platform
