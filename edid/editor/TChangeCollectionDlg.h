#pragma once
// TChangeCollectionDlg: changes which blocks the E-EDID holds and in which
// order. Lists the current blocks, adds blocks from templates, deletes and
// reorders them, and on "Apply" rebuilds the whole collection, inserting the
// VESA block map extensions where the E-EDID layout needs them.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class ECCollection;

// One item of the list: a name and its own copy of the block's bytes.
struct BlockDescriptor {
    QString Name;
    std::array<uint8_t, 128> Bytes{};
};

class TChangeCollectionDlg : public QDialog {
public:
    explicit TChangeCollectionDlg(QWidget* parent = nullptr);

    // Fills the dialog from the collection and shows it modally.
    int Execute(ECCollection* collection);
    // The first half of Execute: everything but showing the dialog.
    void Prepare(ECCollection* collection);
    // Rebuilds the collection from the list (see the .cpp).
    void ApplyBlocks();

    // The number of blocks Apply would build: the items plus the block maps.
    int BlocksToBuild() const;
    const std::vector<BlockDescriptor>& Items() const { return items_; }

    // Called around ApplyBlocks (the editor suspends and refreshes its views).
    std::function<void()> BeforeApply;
    std::function<void()> AfterApply;

    // Handlers.
    void CB_BlockTypeSelect();
    void BTN_AddClick();
    void BTN_DeleteClick();
    void LBOX_BlocksClick();
    void BTN_MoveDownClick();
    void BTN_MoveUpClick();
    void BTN_ApplyClick();
    void BTN_CancelClick();

    QListWidget* LBOX_Blocks;
    QPushButton* BTN_MoveDown;
    QPushButton* BTN_MoveUp;
    QPushButton* BTN_Delete;
    QComboBox* CB_BlockType;
    QPushButton* BTN_Add;
    QCheckBox* CB_UseBME;
    QPushButton* BTN_Cancel;
    QPushButton* BTN_Apply;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void FillList();
    void MoveCurrent(int step);
    void FreeList();
    void ShowLimitError();

    ECCollection* collection_ = nullptr;
    std::vector<BlockDescriptor> items_;
    int addCounter_ = 0;
};
