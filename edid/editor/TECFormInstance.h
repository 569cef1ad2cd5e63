#pragma once
// The editor window as its library instance sees it (ECEditorWindow): owns
// the TECForm and the adapters through which the collection reaches the
// form's tree, log and collection dialog. The adapters outlive the form: a
// host that deletes the widget it embedded the editor in also deletes the
// form, and the collection then simply has nothing to show things in.

#include "edid/ECEditorHost.h"
#include "edid/editor/ECLogListWidget.h"
#include "edid/editor/ECTreeWidgetView.h"
#include "edid/editor/TECForm.h"

#include <QPointer>

class TECFormInstance : public ECEditorWindow, public ECCollectionDialog {
public:
    TECFormInstance();
    ~TECFormInstance() override;

    // The factory of editor windows for ECCreate: null when the process has
    // no QApplication (no window can exist then).
    static ECEditorWindow* Create();

    TECForm* Form() const { return form_; }

    // ECEditorWindow
    ECTreeView* TreeView() override { return &tree_; }
    ECCollectionDialog* CollectionDialog() override { return this; }
    ECLogList* LogList() override { return &log_; }
    void SetCollection(ECCollection* collection) override;
    void BindActions(std::function<void(const QString&)> load, std::function<void(const QString&)> save,
                     std::function<void()> write, std::function<void()> read) override;
    void BeginTreeUpdate() override;
    void EndTreeUpdate() override;
    bool SetOptions(uint32_t options) override;
    bool Embed(void* hostWindow) override;
    void FitToParent() override;
    void ShowFileMessage(uint32_t kind, const QString& text) override;

    // ECCollectionDialog
    void Open(ECCollection* collection) override;

private:
    QPointer<TECForm> form_;
    ECTreeWidgetView tree_;
    ECLogListWidget log_;
};

// The editor instance behind a library handle (null for none or headless).
TECForm* ECEditorFormOf(ECEditorWindow* window);

// The factory of editor windows that the library's handle interface calls
// (registered by RegisterEditor.cpp).
ECEditorWindow* ECCreateEditorWindow();
