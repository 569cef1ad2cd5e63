#include "edid/editor/TECFormInstance.h"

#include <QApplication>

TECFormInstance::TECFormInstance() : form_(new TECForm), tree_(form_->LV_EDID_tree), log_(form_->LB_Log) {}

TECFormInstance::~TECFormInstance() { delete form_.data(); }

ECEditorWindow* TECFormInstance::Create() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    return new TECFormInstance;
}

void TECFormInstance::SetCollection(ECCollection* collection) {
    if (form_) form_->SetCollection(collection);
}

void TECFormInstance::BindActions(std::function<void(const QString&)> load, std::function<void(const QString&)> save,
                                  std::function<void()> write, std::function<void()> read) {
    if (form_) form_->BindActions(std::move(load), std::move(save), std::move(write), std::move(read));
}

void TECFormInstance::BeginTreeUpdate() {
    if (form_) form_->BeginTreeUpdate();
}

void TECFormInstance::EndTreeUpdate() {
    if (form_) form_->EndTreeUpdate();
}

bool TECFormInstance::SetOptions(uint32_t options) { return form_ ? form_->SetOptions(options) : false; }

bool TECFormInstance::Embed(void* hostWindow) {
    return form_ ? form_->Embed(static_cast<QWidget*>(hostWindow)) : false;
}

void TECFormInstance::FitToParent() {
#if EDID_HAS_FIT_TO_PARENT
    if (form_) form_->FitToParent();
#endif
}

void TECFormInstance::ShowFileMessage(uint32_t kind, const QString& text) {
    if (form_) form_->ShowFileMessage(kind, text);
}

void TECFormInstance::Open(ECCollection* collection) {
    if (form_) form_->OpenCollectionDialog(collection);
}

TECForm* ECEditorFormOf(ECEditorWindow* window) {
    auto* instance = dynamic_cast<TECFormInstance*>(window);
    return instance ? instance->Form() : nullptr;
}

// The factory that ECPrimary uses for instances with the editor window
// (registered by RegisterEditor.cpp).
ECEditorWindow* ECCreateEditorWindow() { return TECFormInstance::Create(); }
