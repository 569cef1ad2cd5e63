#pragma once
// Creation helpers for the windows of the suite. Every control gets its
// object name when it is made (tests find controls by it), labels never take
// their text as markup, and dialogs close with one kind of button row.

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLatin1StringView>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace platform {

// Makes a T from the given constructor arguments followed by the parent, and
// names it:
//   auto* tree = Named<QTreeWidget>(splitter, "LV_EDID_tree");
//   auto* edit = Named<QLineEdit>(panel, "ED_Numeric", QStringLiteral("0"));
template <typename T, typename... Args>
T* Named(QWidget* parent, const char* name, Args&&... args) {
    auto* control = new T(std::forward<Args>(args)..., parent);
    control->setObjectName(QLatin1StringView(name));
    return control;
}

// A push button. The caption follows Qt's rule for captions: "&x" marks the
// key x, "&&" shows one "&". It is never a default button, so Enter in an
// edit of the same window does not press it.
QPushButton* Button(QWidget* parent, const char* name, const QString& caption);

// The closing row of a dialog (OK/Cancel, Apply/Cancel, ...): the buttons at
// the right, in the order given. The caller adds the row to its layout.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);

// A label that shows plain text only. Whatever setText() gives it (a text
// from the instrument, a file or the operator) appears exactly as given: no
// markup, no key marks. The caption given here is written like a button's:
// "&&" shows one "&", a single "&" is dropped.
QLabel* PlainLabel(QWidget* parent, const char* name, const QString& caption = QString());

// A panel without a frame, holding other controls.
QFrame* Panel(QWidget* parent, const char* name);

// A progress bar whose text ("78%", and what screen readers are told) is
// written with ASCII digits and the ASCII percent sign whatever the user's
// locale: the suite shows every number that way.
QProgressBar* ProgressBar(QWidget* parent, const char* name);

}  // namespace platform
