// The handle interface of both builds: null handles, headless instances,
// block transfer, the host callback and an instance with a (fake) editor.

#include "edid/BuildOptions.h"
#include "edid/ECLibrary.h"
#include "edid/ECPrimary.h"
#include "edid/EdidTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace edid_test;

namespace {

struct HostCall {
    uint32_t code;
    uint32_t number;
    bool hasText;
    QString text;
};

struct Host {
    std::vector<HostCall> calls;
    static void Callback(void* owner, uint32_t code, uint32_t number, const char16_t* text) {
        static_cast<Host*>(owner)->calls.push_back(
            {code, number, text != nullptr, text ? QString::fromUtf16(text) : QString()});
    }
};

// A headless instance of this build: ECCreate with mode 0 in the compliance
// test build; the library's internal constructor in the sink build.
ECHandle NewHeadless() {
#if EDID_SINK_BUILD
    return new ECPrimary(ECPrimary::Headless{});
#else
    return ECCreate(0);
#endif
}

ECHandle NewWithEditor() {
#if EDID_SINK_BUILD
    return ECCreate();
#else
    return ECCreate(static_cast<int32_t>(0x80000003u));
#endif
}

}  // namespace

TEST(Handle, NullHandleGivesFailureValues) {
    uint8_t buffer[128] = {};
    const Block b = TaggedBlock(0xF0);
    ECDestroy(nullptr);
    ECSetHostCallback(nullptr, nullptr, &Host::Callback);
    EXPECT_FALSE(ECSetOptions(nullptr, 3));
    EXPECT_FALSE(ECEmbed(nullptr, nullptr));
#if EDID_HAS_FIT_TO_PARENT
    ECFitToParent(nullptr);
#endif
    EXPECT_FALSE(ECClearBlocks(nullptr));
    EXPECT_EQ(ECAddBlock(nullptr, b.data(), 128), -1);
    EXPECT_EQ(ECGetBlock(nullptr, 0, buffer, 128), 0);
}

TEST(Handle, VersionAndCreationByBuild) {
    int32_t major = 0, minor = 0, release = 0;
    EXPECT_TRUE(ECGetVersion(&major, &minor, &release));
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 0);
    EXPECT_EQ(release, edid_build::kSinkBuild ? 23 : 21);
    // Without an editor window, instances that need one are not created.
    const ECEditorFactory registered = ECGetEditorFactory();
    ECSetEditorFactory(nullptr);
    EXPECT_EQ(NewWithEditor(), nullptr);
    ECSetEditorFactory(registered);
#if !EDID_SINK_BUILD
    ECHandle h = ECCreate(0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Editor(), nullptr);
    ECDestroy(h);
    h = ECCreate(0x7FFFFFFF);
    ASSERT_NE(h, nullptr);
    ECDestroy(h);
#endif
}

TEST(Handle, BlocksInAndOut) {
    ECHandle h = NewHeadless();
    ASSERT_NE(h, nullptr);
    uint8_t buffer[128] = {};
    EXPECT_EQ(ECGetBlock(h, 0, buffer, 128), 0);  // empty collection
    const Block zero{};
    EXPECT_EQ(ECAddBlock(h, zero.data(), 128), -1);
    const Block map = TaggedBlock(0xF0, {{1, 0x02}});
    EXPECT_EQ(ECAddBlock(h, nullptr, 128), -1);
    EXPECT_EQ(ECAddBlock(h, map.data(), 64), -1);  // nothing is read
    EXPECT_EQ(ECAddBlock(h, map.data(), 129), -1);
    EXPECT_EQ(ECAddBlock(h, map.data(), 0), -1);
    ASSERT_EQ(ECAddBlock(h, map.data(), 128), 0);
    uint8_t small[64] = {};
    EXPECT_EQ(ECGetBlock(h, 0, small, 64), 0);
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(ECGetBlock(h, 0, nullptr, 0), 128);
    EXPECT_EQ(ECGetBlock(h, 0, buffer, -5), 0);
    EXPECT_EQ(ECGetBlock(h, 1, buffer, 128), 0);
    EXPECT_EQ(ECGetBlock(h, -1, buffer, 128), 0);
    ASSERT_EQ(ECGetBlock(h, 0, buffer, 128), 128);
    EXPECT_EQ(buffer[0], 0xF0);
    EXPECT_EQ(buffer[1], 0x02);  // a map at index 0 keeps its bytes
    EXPECT_TRUE(ChecksumGood(buffer));
    EXPECT_FALSE(ECEmbed(h, nullptr));
    EXPECT_FALSE(ECSetOptions(h, 3));
    EXPECT_TRUE(ECClearBlocks(h));
    EXPECT_EQ(ECGetBlock(h, 0, buffer, 128), 0);
    ECDestroy(h);
}

TEST(Handle, HostCallbackGetsPrefixedMessagesAndRequests) {
    ECHandle h = NewHeadless();
    // Without a callback nothing is sent (and nothing breaks).
    EXPECT_EQ(ECAddBlock(h, TaggedBlock(0xF0).data(), 128), 0);
    Host host;
    ECSetHostCallback(h, &host, &Host::Callback);
    EXPECT_EQ(ECAddBlock(h, TaggedBlock(0xF0).data(), 128), 1);
    EXPECT_TRUE(host.calls.empty());  // index 1: no warning; the level-49 list never reaches the host
    EXPECT_EQ(ECAddBlock(h, TaggedBlock(0xF0).data(), 128), 2);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].code, EC_HOST_MESSAGE);
    EXPECT_EQ(host.calls[0].number, EC_MSG_WARNING);
    EXPECT_EQ(host.calls[0].text,
              QStringLiteral("Warning: VESA Block Map Extension block index should be either 1 or 128"));

    host.calls.clear();
    h->OnMessage(EC_LEVEL_ERROR, QStringLiteral("Error: Unsupported version"));
    h->OnMessage(EC_LEVEL_INFORMATION, QStringLiteral("note"));
    h->OnMessage(EC_LEVEL_CHANGED_VALUES, QStringLiteral("Changed value: :/x"));
    h->OnMessage(64, QStringLiteral("other"));
    h->RequestWrite();
    h->RequestRead();
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].number, EC_MSG_ERROR);
    EXPECT_EQ(host.calls[0].text, QStringLiteral("Error: Error: Unsupported version"));
    EXPECT_EQ(host.calls[1].number, EC_MSG_INFORMATION);
    EXPECT_EQ(host.calls[1].text, QStringLiteral("Information: note"));
    EXPECT_EQ(host.calls[2].code, EC_HOST_WRITE_EDID);
    EXPECT_EQ(host.calls[2].number, 3u);
    EXPECT_FALSE(host.calls[2].hasText);
    EXPECT_EQ(host.calls[3].code, EC_HOST_READ_EDID);
    EXPECT_EQ(host.calls[3].number, 0u);
    ECDestroy(h);
}

namespace {

// A stand-in for the editor window, enough to test the instance's wiring.
class FakeEditor : public ECEditorWindow {
public:
    static FakeEditor* last;
    FakeTree tree;
    FakeLog log;
    FakeDialog dialog;
    ECCollection* collection = nullptr;
    std::function<void(const QString&)> load, save;
    std::function<void()> write, read;
    int updates = 0;
    std::vector<std::pair<uint32_t, QString>> fileMessages;
    uint32_t options = 0;
    FakeEditor() { last = this; }
    ECTreeView* TreeView() override { return &tree; }
    ECCollectionDialog* CollectionDialog() override { return &dialog; }
    ECLogList* LogList() override { return &log; }
    void SetCollection(ECCollection* c) override { collection = c; }
    void BindActions(std::function<void(const QString&)> l, std::function<void(const QString&)> s,
                     std::function<void()> w, std::function<void()> r) override {
        load = std::move(l);
        save = std::move(s);
        write = std::move(w);
        read = std::move(r);
    }
    void BeginTreeUpdate() override { ++updates; }
    void EndTreeUpdate() override { ++updates; }
    bool SetOptions(uint32_t o) override {
        options = o;
        return true;
    }
    bool Embed(void*) override { return true; }
    void FitToParent() override {}
    void ShowFileMessage(uint32_t kind, const QString& text) override { fileMessages.emplace_back(kind, text); }
};
FakeEditor* FakeEditor::last = nullptr;

}  // namespace

TEST(Handle, InstanceWithEditorRoutesToLogHostAndDialogs) {
    const ECEditorFactory registered = ECGetEditorFactory();
    ECSetEditorFactory([]() -> ECEditorWindow* { return new FakeEditor; });
    ECHandle h = NewWithEditor();
    ECSetEditorFactory(registered);
    ASSERT_NE(h, nullptr);
    FakeEditor* editor = FakeEditor::last;
    ASSERT_EQ(editor->collection, h->Collection());
    Host host;
    ECSetHostCallback(h, &host, &Host::Callback);
    EXPECT_TRUE(ECSetOptions(h, 3));
    EXPECT_EQ(editor->options, 3u);
    EXPECT_TRUE(ECEmbed(h, nullptr));

    ASSERT_EQ(ECAddBlock(h, TaggedBlock(0xF0).data(), 128), 0);  // warns: index 0
    EXPECT_EQ(editor->updates, 2);
    EXPECT_EQ(editor->log.lines.first(),
              QStringLiteral("Warning: VESA Block Map Extension block index should be either 1 or 128"));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].text, editor->log.lines.first());
    EXPECT_GT(editor->tree.nodes.size(), 2u);

    editor->write();
    EXPECT_EQ(host.calls.back().code, EC_HOST_WRITE_EDID);
    EXPECT_EQ(host.calls.back().number, 1u);
    editor->read();
    EXPECT_EQ(host.calls.back().code, EC_HOST_READ_EDID);

    // File errors appear as the editor's dialogs, with the file name.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.ecd"));
    host.calls.clear();
    editor->load(missing);
    ASSERT_EQ(editor->fileMessages.size(), 1u);
    EXPECT_EQ(editor->fileMessages[0],
              std::make_pair(uint32_t{EC_MSG_FILE_ERROR}, QStringLiteral("Failed to open file '") + missing + "'."));
    EXPECT_TRUE(host.calls.empty());
    ECDestroy(h);
}
