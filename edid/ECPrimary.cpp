#include "edid/ECPrimary.h"

#include "edid/core/ECFormat.h"

// Editor hook: a program that links the editor library registers the editor
// window's factory before main() runs (edid/editor/RegisterEditor.cpp); a
// headless program has none. Constant-initialised, so a registration made
// during static initialisation is never overwritten.
namespace {
constinit ECEditorFactory g_editorFactory = nullptr;
}  // namespace

void ECSetEditorFactory(ECEditorFactory factory) { g_editorFactory = factory; }
ECEditorFactory ECGetEditorFactory() { return g_editorFactory; }

ECPrimary* ECPrimary::Create(int32_t mode) {
    if (mode >= 0 && !edid_build::kAlwaysEditor) return new ECPrimary(Headless{});
    // An instance with the editor window.
    if (!g_editorFactory) return nullptr;
    auto* primary = new ECPrimary();
    primary->editor_.reset(g_editorFactory());
    if (!primary->editor_) {
        delete primary;
        return nullptr;
    }
    ECEditorWindow* editor = primary->editor_.get();
    primary->collection_ = std::make_unique<ECCollection>(
        editor->TreeView(), editor->CollectionDialog(),
        [primary](int32_t level, const QString& text) { primary->OnMessage(level, text); }, editor->LogList());
    editor->SetCollection(primary->collection_.get());
    editor->BindActions([primary](const QString& name) { primary->LoadFile(name); },
                        [primary](const QString& name) { primary->SaveFile(name); },
                        [primary] { primary->RequestWrite(); }, [primary] { primary->RequestRead(); });
    return primary;
}

ECPrimary::ECPrimary(Headless) {
    collection_ =
        std::make_unique<ECCollection>([this](int32_t level, const QString& text) { OnMessage(level, text); });
}

ECPrimary::~ECPrimary() {
    if (editor_) editor_->SetCollection(nullptr);
    collection_.reset();
    editor_.reset();
}

void ECPrimary::SetHostCallback(void* owner, ECHostCallback callback) {
    hostOwner_ = owner;
    hostCallback_ = callback;
}

void ECPrimary::SendHost(uint32_t code, uint32_t number, const QString* text) {
    if (!hostCallback_) return;
    hostCallback_(hostOwner_, code, number, text ? reinterpret_cast<const char16_t*>(text->utf16()) : nullptr);
}

void ECPrimary::OnMessage(int32_t level, const QString& text) {
    if (!hostCallback_) return;
    uint32_t kind = 0;
    switch (level) {
        case EC_LEVEL_ERROR:
            kind = EC_MSG_ERROR;
            break;
        case EC_LEVEL_WARNING:
            kind = EC_MSG_WARNING;
            break;
        case EC_LEVEL_INFORMATION:
            kind = EC_MSG_INFORMATION;
            break;
        default:
            return;
    }
    const QString prefixed = ECCollection::LevelPrefix(level) + text;
    SendHost(EC_HOST_MESSAGE, kind, &prefixed);
}

void ECPrimary::RequestWrite() { SendHost(EC_HOST_WRITE_EDID, static_cast<uint32_t>(collection_->Count()), nullptr); }

void ECPrimary::RequestRead() { SendHost(EC_HOST_READ_EDID, 0, nullptr); }

bool ECPrimary::ClearBlocks() {
    if (editor_) editor_->BeginTreeUpdate();
    collection_->Clear();
    if (editor_) editor_->EndTreeUpdate();
    return true;
}

int32_t ECPrimary::AddBlock(const uint8_t* bytes, int32_t length) {
    // Only whole 128-byte blocks are taken, and nothing is read otherwise.
    if (!bytes || length != 128) return -1;
    if (editor_) editor_->BeginTreeUpdate();
    const int32_t index = collection_->AddBlock(bytes, length);
    if (editor_) editor_->EndTreeUpdate();
    return index;
}

int32_t ECPrimary::GetBlock(int32_t index, uint8_t* buffer, int32_t size) const {
    ECRootParser* block = collection_->GetBlock(index);
    if (!block) return 0;
    return block->GetBytes(buffer, size);
}

void ECPrimary::FileMessage(uint32_t kind, const QString& editorText, const QString& hostText) {
    if (editor_) {
        editor_->ShowFileMessage(kind, editorText);
    } else {
        SendHost(EC_HOST_MESSAGE, kind, &hostText);
    }
}
