#include "sinkmonitor/pages/EdidPage.h"

#include <QVBoxLayout>

#include "platform/gui/FormKit.h"

namespace selvitra {

EdidPage::EdidPage(QWidget* parent) : QWidget(parent) {
    setObjectName("tbsEDID");
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    // The editor window is embedded here as a child; it keeps the size it is
    // given when it is embedded.
    pnlEDIDContainer = platform::Panel(this, "pnlEDIDContainer");
    page->addWidget(pnlEDIDContainer);
}

}  // namespace selvitra
