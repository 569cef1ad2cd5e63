#include "platform/gui/Modal.h"

#include <QDialog>

#include "platform/ModalLoop.h"

namespace platform {

int ExecModal(QDialog& dialog) {
    const ModalLoop modal;
    return dialog.exec();
}

}  // namespace platform
