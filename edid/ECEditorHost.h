#pragma once
// What an instance needs of its editor window. The editor window (a later
// part of the library) implements this interface and registers a factory;
// until one is registered, instances with an editor window cannot be created.

#include "edid/core/ECViews.h"

#include <QString>

#include <cstdint>
#include <functional>

class ECCollection;

class ECEditorWindow {
public:
    virtual ~ECEditorWindow() = default;
    virtual ECTreeView* TreeView() = 0;
    virtual ECCollectionDialog* CollectionDialog() = 0;
    virtual ECLogList* LogList() = 0;
    // Gives the editor its collection (null takes it away again).
    virtual void SetCollection(ECCollection* collection) = 0;
    // The editor's four actions: load a file, save a file, write, read.
    virtual void BindActions(std::function<void(const QString&)> load, std::function<void(const QString&)> save,
                             std::function<void()> write, std::function<void()> read) = 0;
    virtual void BeginTreeUpdate() = 0;
    // Ends the tree update, shows the selected entry again, rebuilds the hex view.
    virtual void EndTreeUpdate() = 0;
    virtual bool SetOptions(uint32_t options) = 0;
    virtual bool Embed(void* hostWindow) = 0;
    virtual void FitToParent() = 0;
    // A file operation's message dialog (OK button); kind is EC_MSG_FILE_ERROR
    // or EC_MSG_WARNING.
    virtual void ShowFileMessage(uint32_t kind, const QString& text) = 0;
};

using ECEditorFactory = ECEditorWindow* (*)();
// Registers the factory that creates editor windows (null: none).
void ECSetEditorFactory(ECEditorFactory factory);
ECEditorFactory ECGetEditorFactory();
