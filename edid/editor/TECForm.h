#pragma once
// TECForm: the E-EDID editor window. Shows the entry trees of all blocks, an
// editor for the selected field that matches its value type, the field's
// value and details, the hex view with the last edit's changes marked, the
// library's log, and the buttons that load and save files and ask the host
// to write the E-EDID to the device or read it from there.

#include "edid/BuildOptions.h"
#include "edid/core/ECEntry.h"
#include "edid/editor/ECQuickSetupMenu.h"
#include "platform/gui/MessageList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class ECCollection;
class QFileDialog;
class TChangeCollectionDlg;
class TxtField;

class TECForm : public QWidget {
public:
    enum class DisplayState { NotShown, Embedded, ShownOnOwn };

    TECForm();
    ~TECForm() override;

    // Operations of the library instance.
    void SetCollection(ECCollection* collection);
    ECCollection* Collection() const { return collection_; }
    void BindActions(std::function<void(const QString&)> load, std::function<void(const QString&)> save,
                     std::function<void()> write, std::function<void()> read);
    void BeginTreeUpdate();
    void EndTreeUpdate();
    bool Embed(QWidget* host);
#if EDID_HAS_FIT_TO_PARENT
    void FitToParent();
#endif
    bool SetOptions(uint32_t options);
    // A file operation's message box (kind EC_MSG_FILE_ERROR or EC_MSG_WARNING).
    void ShowFileMessage(uint32_t kind, const QString& text);
    // Opens the collection dialog for the collection (the Set of "Blocks in
    // collection"); nothing while a host request runs.
    void OpenCollectionDialog(ECCollection* collection);

    void ShowEntry(ECEntry* entry);
    void HideEditors();
    void RefreshHex();
    void QuickConfigPick(ECEntry* entry);

    // Handlers.
    void LV_EDID_treeChange();
    void LV_EDID_treeClick();
    void BTN_SetValueClick();
    void ED_NumericKeyPress(int key);
    void ED_GeneralKeyPress(int key);
    void CB_SelectionKeyPress(int key);
    void BTN_QuickSetupClick();
    void QuickSetupPopup();
    void BTN_LoadBlocksClick();
    void BTN_SaveBlocksClick();
    void SaveEDIDTypeChange(int filterIndex);
    void BTN_WriteEDIDClick();
    void BTN_ReadEDIDClick();
    void BTN_ShowHexClick();
    void BTN_ShowLogClick();
    void BTN_CloseClick();

    // The entry of the selected tree node (null for none).
    ECEntry* SelectedEntry() const;
    // The entry the editors show (null when none or when it is gone).
    ECEntry* ShownEntry() const;
    DisplayState State() const { return state_; }
    bool HostRequestRunning() const { return hostBusy_; }
    QWidget* HostWindow() const { return host_; }
    TxtField* HexView() const { return hexView_; }
    TChangeCollectionDlg* CollectionDialog() const { return dialog_; }
    int LogPanelHeight() const { return logPanelHeight_; }
    QMenu* QuickSetupMenu() const { return QuickSetup; }

    // Controls, named as in the form.
    QLabel* LB_Heading;
    QSplitter* Splitter2;
    QSplitter* Splitter1;
    QTreeWidget* LV_EDID_tree;
    QWidget* PNL_Right;  // the right side of Splitter1
    QFrame* PNL_RW_Access;
    QLabel* LB_ValueName;
    QLabel* LB_CurrentVal;
    QFrame* PNL_SetPanel;
    QPushButton* BTN_SetValue;
    QPushButton* BTN_QuickSetup;
    QFrame* PNL_Editors;
    QLabel* LB_NewValueDetails;
    QFrame* PNL_NumericValue;
    QLineEdit* ED_Numeric;
    QComboBox* CB_Selection;
    QCheckBox* CH_Bit;
    QLineEdit* ED_General;
    QFrame* PNL_R_Access;
    QLabel* LB_ValueDetails;
    QTableWidget* VLE_ValueList;
    QFrame* PNL_Hex;
    QScrollArea* SB_Container;
    QFrame* PNL_Bottom;
    QPushButton* BTN_ShowLog;
    QPushButton* BTN_ShowHex;
    QFrame* Bevel1;
    QPushButton* BTN_SaveBlocks;
    QPushButton* BTN_LoadBlocks;
    QPushButton* BTN_WriteEDID;
    QPushButton* BTN_ReadEDID;
    QPushButton* BTN_Close;
    platform::MessageList* LB_Log;
    QMenu* QuickSetup;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class LibraryCall;

    void BuildUi();
    void BuildRightSide(QWidget* right);
    void BuildBottom();
    void ConnectHandlers();
    void ShowValue(ECEntry* entry, uint32_t type, bool readOnly);
    void ShowEditingPart(bool readOnly, QWidget* editor);
    void ShowSetPanel(bool readOnly, const QString& caption);
    void FillValueList(const QString& text);
    void SetPathLabels(const QString& path);
    void EnterPressed(QWidget* control);
    void RunHostRequest(const std::function<void()>& request);
    void SetHostBusy(bool busy);
    void ShowException(const char* text);
    // Runs an edit of the library under the host-call guard, catches its
    // exception, then shows the watched entry (or the surviving node) and the
    // hex view, and reports the exception.
    void EditAndShow(ECEntry* entry, const std::function<void(ECEntry::Watch&)>& edit);
    void CloseTreeUpdatesAbove(int depth);
    void InvalidateQuickSetup();

    ECCollection* collection_ = nullptr;
    std::function<void(const QString&)> load_;
    std::function<void(const QString&)> save_;
    std::function<void()> write_;
    std::function<void()> read_;
    QString lastLoadFolder_;
    QString lastSaveFolder_;
    QPointer<QWidget> host_;
    DisplayState state_ = DisplayState::NotShown;
    int logPanelHeight_ = 110;
    TxtField* hexView_ = nullptr;
    TChangeCollectionDlg* dialog_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;  // while the save dialog is up
    ECQuickSetupMenu quickMenu_;
    bool quickSetupOffered_ = false;
    std::unique_ptr<ECEntry::Watch> shown_;
    int libraryDepth_ = 0;     // library calls under way that may free entries
    int treeUpdateDepth_ = 0;  // open BeginTreeUpdate calls
    bool hostBusy_ = false;
    bool destroying_ = false;
};
