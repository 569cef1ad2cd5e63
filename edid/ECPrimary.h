#pragma once
// ECPrimary: one library instance (the object behind an ECHandle). Owns the
// editor window (or none), the block collection and the host callback.

#include "edid/ECEditorHost.h"
#include "edid/ECLibrary.h"
#include "edid/core/ECCollection.h"

#include <QString>

#include <cstdint>
#include <memory>

class ECPrimary {
public:
    // The instance for ECCreate's mode: below 0 with the editor window (null
    // when no editor window can be created), else headless.
    static ECPrimary* Create(int32_t mode);

    // Internal constructor: a headless instance (in every build; the sink
    // build's ECCreate never makes one, its tests do).
    struct Headless {};
    explicit ECPrimary(Headless);
    ~ECPrimary();
    ECPrimary(const ECPrimary&) = delete;
    ECPrimary& operator=(const ECPrimary&) = delete;

    ECCollection* Collection() const { return collection_.get(); }
    ECEditorWindow* Editor() const { return editor_.get(); }

    void SetHostCallback(void* owner, ECHostCallback callback);
    bool ClearBlocks();
    int32_t AddBlock(const uint8_t* bytes, int32_t length);
    int32_t GetBlock(int32_t index, uint8_t* buffer, int32_t size) const;

    // The E-EDID files (.BIN raw bytes, .ECD hex-dump text).
    void LoadFile(const QString& fileName);
    void SaveFile(const QString& fileName);

    // The message router of the collection (levels 16, 32, 48 to the host).
    void OnMessage(int32_t level, const QString& text);
    void RequestWrite();
    void RequestRead();

private:
    ECPrimary() = default;
    void SendHost(uint32_t code, uint32_t number, const QString* text);
    // A file operation's message: a dialog with an editor window, else the host.
    void FileMessage(uint32_t kind, const QString& editorText, const QString& hostText);

    std::unique_ptr<ECEditorWindow> editor_;
    std::unique_ptr<ECCollection> collection_;
    void* hostOwner_ = nullptr;
    ECHostCallback hostCallback_ = nullptr;
};
