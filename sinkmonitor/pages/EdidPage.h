#pragma once
// The "EDID" page: the panel that hosts the embedded EDID editor.
#include <QFrame>
#include <QWidget>

namespace selvitra {

class EdidPage : public QWidget {
public:
    explicit EdidPage(QWidget* parent);

    QFrame* pnlEDIDContainer;
};

}  // namespace selvitra
