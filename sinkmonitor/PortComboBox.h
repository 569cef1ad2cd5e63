#pragma once
// A drop-down list of ports that tells its owner when the list is about to
// open, so that the owner can enumerate the ports again first.
#include <QComboBox>
#include <functional>

class PortComboBox : public QComboBox {
public:
    explicit PortComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    // Called before the list opens.
    std::function<void()> onDropDown;

    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};
