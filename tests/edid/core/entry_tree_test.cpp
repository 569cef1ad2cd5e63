// Entry tree: construction, paths, the pattern matcher, lookup, details
// texts, tree nodes and the structural exceptions.

#include "edid/EdidTestSupport.h"
#include "edid/core/ECException.h"
#include "edid/core/ECHelper.h"

#include <gtest/gtest.h>

using namespace edid_test;

namespace {

EntryInfo* Info(uint32_t flags, const char* name, ECGetClosure get = {}, ECSetClosure set = {},
                const char* format = "") {
    return ECHelper::NewEntryInfo(flags, name, std::move(get), std::move(set), {}, "", format);
}

ECGetClosure Constant(int32_t n) {
    return [n](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfInt(n); };
}

ECSetClosure NoSet() {
    return [](int32_t, uint8_t*, EntryInfo*, ECVariant) {};
}

// A small tree shaped like a collection: ":" / "Blocks in collection", "0" / "Version" / "Week".
struct Tree {
    std::unique_ptr<ECEntry> root;
    ECEntry* blocks;
    ECEntry* block0;
    ECEntry* version;
    ECEntry* week;
    explicit Tree(ECTreeView* view = nullptr) {
        root = std::make_unique<ECEntry>(view, nullptr, Info(0x5016, "Collection 1", Constant(0), {}, ":"), nullptr, 0,
                                         ECRethinkClosure());
        blocks = new ECEntry(view, root.get(), Info(0x400A, "Blocks in collection", Constant(1), NoSet()), nullptr, 0);
        block0 = new ECEntry(view, root.get(), Info(0x1016, "Block 0 [Test]", Constant(0), {}, "0"), nullptr, 0);
        version = new ECEntry(view, block0, Info(ECT_INT, "Version", Constant(3), NoSet()), nullptr, 0);
        week = new ECEntry(view, version, Info(ECT_INT, "Week", Constant(12), NoSet()), nullptr, 0);
    }
};

}  // namespace

TEST(EntryPaths, PathsUseNameOrFormatAndLowerCaseLookup) {
    Tree t;
    EXPECT_EQ(t.root->GetPath(), QStringLiteral(":"));
    EXPECT_EQ(t.blocks->GetPath(), QStringLiteral(":/Blocks in collection"));
    EXPECT_EQ(t.block0->GetPath(), QStringLiteral(":/0"));
    EXPECT_EQ(t.week->GetPath(), QStringLiteral(":/0/Version/Week"));
    EXPECT_EQ(t.week->FindEntry(QStringLiteral(":/Blocks in collection")), t.blocks);
    EXPECT_EQ(t.week->FindEntry(QStringLiteral(":/BLOCKS IN COLLECTION")), t.blocks);
    EXPECT_EQ(t.week->FindEntry(QStringLiteral(":")), t.root.get());
    EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/0/*")), t.version);  // first in creation order, no "/" crossing
    EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/0/*/week")), t.week);
    EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/1")), nullptr);
    EXPECT_EQ(t.root->GetChild(1), t.block0);
    EXPECT_EQ(t.root->GetChild(2), nullptr);
    EXPECT_EQ(t.root->GetChild(-1), nullptr);
    EXPECT_EQ(t.week->GetChild(0), nullptr);
    EXPECT_TRUE(t.version->HasChildren());
    EXPECT_FALSE(t.week->HasChildren());
}

TEST(EntryPaths, MatchPathTable) {
    struct Case {
        const char* pattern;
        const char* path;
        bool crossing;
        bool expected;
    };
    const Case cases[] = {
        {"*", ":", false, true},
        {"*", ":/blocks in collection", false, false},
        {":/blocks in collection", ":/blocks in collection", false, true},
        {":/blocks*", ":/blocks in collection", false, true},
        {":/blocks*", ":/blocks in collection/x", false, false},
        {":/0/ver*", ":/0/version/week", false, false},  // a star after a fixed prefix stops at "/"
        {":/0/ver*", ":/0/version/week", true, true},    // in crossing mode it does not
        {":?0", ":/0", false, true},                     // "?" matches a "/" also in component mode
        {"*:/0/version*", ":/0/version", true, true},
        {"*:/0/version*", ":/0/version/week/x", true, true},
        {"*:/0/version*", ":/10/version", true, false},  // block 10 is not block 0
        {"*:/0/version*", ":/0/checksum", true, false},
        {"*:/0/version*", ":/1/version", true, false},
        {":/0/*/week", ":/0/version/week", false, true},
        {":/0/*/week", ":/0/a/b/week", false, false},
        {":/0/*/week", ":/0/a/b/week", true, true},
        {":/0/v?rsion", ":/0/version", false, true},
        {":/0/version", ":/0/version/week", false, false},
        {":/0/version/week", ":/0/version", false, false},
        {":/0/*", ":/0/", false, true},  // one trailing star may match nothing
        {"", "", false, true},
        {"*", "\xa7", false, false},
        {"?", "\xa7", false, false},
        {"\xa7", "\xa7", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ECEntry::MatchPath(QString::fromLatin1(c.pattern), QString::fromLatin1(c.path), c.crossing),
                  c.expected)
            << c.pattern << " vs " << c.path << (c.crossing ? " crossing" : " component");
    }
}

TEST(EntryTree, ConstructionDefaultsAndEventOnlyEntries) {
    Tree t;
    // No Get: a details group, flags replaced by 5006h. No Set: read-only added.
    auto* group = new ECEntry(nullptr, t.block0, Info(0x0001, "Group"), nullptr, 0);
    EXPECT_EQ(group->GetFlags(), 0x5006u);
    auto* readOnly = new ECEntry(nullptr, t.block0, Info(ECT_INT, "RO", Constant(1)), nullptr, 0);
    EXPECT_EQ(readOnly->GetFlags(), static_cast<uint32_t>(ECT_INT | ECT_READ_ONLY));
    EXPECT_EQ(readOnly->GetInfo()->Cached, ECVariant::OfInt(1));  // Get is called once at construction
    EXPECT_EQ(readOnly->GetInfo()->Filter(ECVariant::OfInt(9)), ECVariant::OfInt(9));

    auto* event = new ECEntry(nullptr, t.block0, Info(ECT_INT | ECT_EVENT_ONLY, "Event", Constant(0)), nullptr, 0);
    EXPECT_EQ(event->GetPath(), QString(QChar(0x00A7)));
    EXPECT_EQ(t.root->FindEntry(QStringLiteral("*")), t.root.get());
    EXPECT_EQ(t.root->FindEntry(QString(QChar(0x00A7))), nullptr);
    try {
        new ECEntry(nullptr, event, Info(ECT_INT, "Child", Constant(0)), nullptr, 0);
        FAIL() << "a child of an event-only entry was created";
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("AddChild(): Tried to create childs for ECT_EVENT_ONLY entry"));
    }
    EXPECT_FALSE(event->HasChildren());
    // The failed construction left the tree as it was.
    EXPECT_EQ(t.block0->ChildCount(), 4);

    try {
        ECEntry orphan(nullptr, nullptr, Info(ECT_INT, "Orphan", Constant(0)), nullptr, 0);
        FAIL() << "a root was built with the child constructor";
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Tried Constructing Root node with child node constructor"));
    }
}

TEST(EntryTree, StructuralExceptions) {
    Tree t;
    try {
        t.week->RemChild(t.version);
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RemChild() called on object having no childred"));
    }
    try {
        t.version->RemChild(t.block0);
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RemChild() failed: Child does not exist"));
    }
    try {
        t.version->CallRethinkFunction();
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("CallRethinkFunction(): No rethink function specified for this entry"));
    }
    ECEntry other(nullptr, nullptr, Info(0x5016, "Other", {}, {}, "x"), nullptr, 0, ECRethinkClosure());
    try {
        t.root->RemEncodeChain(&other);
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("RemEncodeChain() failed: Encoder does not exist"));
    }
}

TEST(EntryTree, DeleteChildsStopsAtARethinkOnDependChild) {
    Tree t;
    auto* first = new ECEntry(nullptr, t.week, Info(ECT_INT, "First", Constant(1), NoSet()), nullptr, 0);
    auto* guarded = new ECEntry(nullptr, t.week, Info(ECT_INT | ECT_RETHINK_ON_DEPEND, "Guarded", Constant(2), NoSet()),
                                nullptr, 0, [](ECEntry*) {});
    new ECEntry(nullptr, t.week, Info(ECT_INT, "Last", Constant(3), NoSet()), nullptr, 0);
    (void)first;
    try {
        t.week->DeleteChilds();
        FAIL();
    } catch (const ECException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("DeleteChilds() failed: ECT_RETHINK_ON_DEPEND set for a node subject for "
                                              "deletion on codec tree change"));
    }
    ASSERT_EQ(t.week->ChildCount(), 2);  // the child before it is gone
    EXPECT_EQ(t.week->GetChild(0), guarded);
    EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/0/version/week/first")), nullptr);
    EXPECT_NE(t.root->FindEntry(QStringLiteral(":/0/version/week/last")), nullptr);
}

TEST(EntryTree, DestructionRemovesEntriesFromChainAndView) {
    FakeTree view;
    {
        Tree t(&view);
        EXPECT_EQ(view.nodes.size(), 5u);
        auto* version = t.version;
        EXPECT_EQ(reinterpret_cast<FakeNode*>(t.week->GetTreeNode())->parent,
                  reinterpret_cast<FakeNode*>(version->GetTreeNode()));
        EXPECT_EQ(reinterpret_cast<FakeNode*>(t.week->GetTreeNode())->caption, QStringLiteral("Week"));
        new ECEntry(&view, t.block0, Info(ECT_INT | ECT_EVENT_ONLY, "Event", Constant(0)), nullptr, 0);
        EXPECT_EQ(view.nodes.size(), 5u);  // no node for an event-only entry
        delete t.block0;                   // deletes Version and Week with it
        EXPECT_EQ(view.nodes.size(), 2u);
        EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/0*")), nullptr);
        EXPECT_EQ(t.root->ChildCount(), 1);
        // New entries after a removal are found in creation order.
        auto* again = new ECEntry(&view, t.root.get(), Info(0x1016, "Block 0 again", Constant(0), {}, "0"), nullptr, 0);
        EXPECT_EQ(t.root->FindEntry(QStringLiteral(":/0")), again);
    }
    EXPECT_TRUE(view.nodes.empty());
}

TEST(EntryTree, DetailsTextListsLeavesThenSubgroups) {
    Tree t;
    // Children of block 0 besides "Version" (which has a child): leaves of several types.
    new ECEntry(nullptr, t.block0, Info(ECT_BOOL, "Flag", Constant(1), NoSet()), nullptr, 0);
    auto* hex = new ECEntry(nullptr, t.block0, Info(ECT_HEX, "Code", Constant(0x1A), NoSet(), "%.2X"), nullptr, 0);
    (void)hex;
    new ECEntry(nullptr, t.block0,
                Info(
                    ECT_LIST, "Kind", [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfIndex(1); }, NoSet(),
                    "Analog\r\nDigital"),
                nullptr, 0);
    new ECEntry(nullptr, t.block0, Info(ECT_NONE, "Nothing", Constant(0), NoSet()), nullptr, 0);
    auto* sub = new ECEntry(nullptr, t.block0, Info(0, "Sub"), nullptr, 0);
    new ECEntry(
        nullptr, sub,
        Info(
            ECT_FLOAT, "Gamma", [](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfDouble(2.2); }, NoSet()),
        nullptr, 0);
    EXPECT_EQ(t.block0->GetDetails(), QStringLiteral("Flag=Yes\n"
                                                     "Code=0x1A\n"
                                                     "Kind=Digital\n"
                                                     " = \nVersion=3\n = \nWeek=12\n"
                                                     " = \nSub= \n = \nGamma=2.2\n"));
    EXPECT_TRUE(t.week->GetDetails().isEmpty());
    // A group without Get shows its details as its value.
    EXPECT_EQ(sub->GetValue().Text, QStringLiteral("Gamma=2.2\n"));
}
