#pragma once
// Helpers for the editor window tests: an instance with its editor window,
// a recording host, tree navigation and hand-made blocks.

#include "edid/BuildOptions.h"
#include "edid/ECLibrary.h"
#include "edid/ECPrimary.h"
#include "edid/core/ECCollection.h"
#include "edid/editor/BlockTemplates.h"
#include "edid/editor/ECTreeWidgetView.h"
#include "edid/editor/TECForm.h"
#include "edid/editor/TECFormInstance.h"
#include "support/EdidFixtures.h"

#include <QApplication>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace editor_test {

using Block = edid_fixtures::Block;
using edid_fixtures::ChecksumGood;
using edid_fixtures::FixChecksum;

// The base block template of the collection dialog.
inline Block BaseBlock() { return block_templates::BaseEdid(); }

// A CEA-861 extension with a video data block (VIC 16, 4, 3), an audio data
// block (2-channel LPCM, 32/44.1/48 kHz, 16/20/24 bit), a speaker allocation
// data block and one detailed timing (1920 x 1080 at 148.5 MHz).
inline Block CeaBlock() {
    return edid_fixtures::MakeCea({{0x43, 0x90, 0x04, 0x03}, {0x23, 0x09, 0x07, 0x07}, {0x83, 0x01, 0x00, 0x00}},
                                  {edid_fixtures::Dtd1080p()}, 0xF1);
}

// A library instance with its editor window, destroyed with the object.
class EditorInstance {
public:
    EditorInstance() {
#if EDID_SINK_BUILD
        handle_ = ECCreate();
#else
        handle_ = ECCreate(static_cast<int32_t>(0x80000003u));
#endif
    }
    ~EditorInstance() { ECDestroy(handle_); }
    EditorInstance(const EditorInstance&) = delete;
    EditorInstance& operator=(const EditorInstance&) = delete;

    ECHandle Handle() const { return handle_; }
    TECForm* Form() const { return handle_ ? ECEditorFormOf(handle_->Editor()) : nullptr; }
    ECCollection* Collection() const { return handle_ ? handle_->Collection() : nullptr; }
    int32_t Add(const Block& b) { return ECAddBlock(handle_, b.data(), 128); }
    ECEntry* Find(const QString& path) const { return Collection()->Root()->FindEntry(path); }

private:
    ECHandle handle_ = nullptr;
};

inline QTreeWidgetItem* ItemOf(ECEntry* entry) {
    return entry ? ECTreeWidgetView::Item(entry->GetTreeNode()) : nullptr;
}

// Selects the entry's node in the tree, as a click does.
inline void Select(TECForm* form, ECEntry* entry) {
    QTreeWidgetItem* item = ItemOf(entry);
    ASSERT_NE(item, nullptr);
    form->LV_EDID_tree->setCurrentItem(item);
}

// Shown: not hidden itself and no hidden panel above it up to the form.
inline bool Shows(const QWidget* w, const QWidget* form) { return w->isVisibleTo(form); }

// A host that records every callback and can act inside it.
struct RecordingHost {
    struct Call {
        uint32_t code;
        uint32_t number;
        QString text;
    };
    std::vector<Call> calls;
    std::function<void(uint32_t code)> during;
    static void Callback(void* owner, uint32_t code, uint32_t number, const char16_t* text) {
        auto* host = static_cast<RecordingHost*>(owner);
        host->calls.push_back({code, number, text ? QString::fromUtf16(text) : QString()});
        if (host->during) host->during(code);
    }
    std::vector<Call> WithCode(uint32_t code) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.code == code) out.push_back(c);
        return out;
    }
};

// Every entry of the collection in creation order, with its path.
inline void ForEachEntry(ECEntry* entry, const std::function<void(ECEntry*)>& fn) {
    fn(entry);
    for (int i = 0; i < entry->ChildCount(); ++i) ForEachEntry(entry->GetChild(i), fn);
}

}  // namespace editor_test
