// The dependency engine: propagation, re-encoding, re-evaluation, loops,
// self-dependency and rebuilds that delete entries during a propagation.

#include "edid/EdidTestSupport.h"
#include "edid/core/ECException.h"
#include "edid/core/ECHelper.h"

#include <gtest/gtest.h>

using namespace edid_test;

namespace {

std::string Name(const char* stem, int i) {
    std::string name(stem);
    name += std::to_string(i);
    return name;
}

// A root ":" with a message log, and byte-backed integer fields below it.
struct Engine {
    uint8_t bytes[8] = {};
    MessageLog log;
    std::unique_ptr<ECEntry> root;
    int sets = 0;

    Engine() {
        root = std::make_unique<ECEntry>(nullptr, nullptr,
                                         ECHelper::NewEntryInfo(0x5016, "Root", ECGetZero, {}, {}, "", ":"), nullptr, 0,
                                         ECRethinkClosure());
        root->SetOnMessage(log.Closure());
    }

    // An integer field on bytes[index].
    ECEntry* Field(ECEntry* parent, const char* name, int index, uint32_t extraFlags = 0,
                   ECRethinkClosure rethink = {}) {
        EntryInfo* info = ECHelper::NewEntryInfo(
            ECT_INT | extraFlags, name, [](int32_t, uint8_t* d, EntryInfo*) { return ECVariant::OfInt(d[0]); },
            [this](int32_t, uint8_t* d, EntryInfo*, ECVariant v) {
                ++sets;
                d[0] = static_cast<uint8_t>(v.Integer);
            },
            {}, "", "");
        return new ECEntry(nullptr, parent, info, &bytes[index], 0, std::move(rethink));
    }

    // A derived byte: bytes[target] = 2 * bytes[source], written on every Set.
    ECEntry* Doubler(ECEntry* parent, const char* name, int source, int target, uint32_t flags) {
        EntryInfo* info = ECHelper::NewEntryInfo(
            flags, name, [](int32_t, uint8_t* d, EntryInfo*) { return ECVariant::OfInt(d[0]); },
            [this, source](int32_t, uint8_t* d, EntryInfo*, ECVariant) {
                d[0] = static_cast<uint8_t>(2 * bytes[source]);
            },
            {}, "", "");
        return new ECEntry(nullptr, parent, info, &bytes[target], 0);
    }

    QStringList Changed() const {
        QStringList lists = log.Texts(EC_LEVEL_CHANGED_VALUES);
        return lists.isEmpty() ? QStringList() : lists.last().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
};

}  // namespace

TEST(Engine, ChangePropagatesThroughReencodeAndCompareEntries) {
    Engine e;
    ECEntry* a = e.Field(e.root.get(), "A", 0);
    ECEntry* b = e.Doubler(e.root.get(), "B", 0, 1, ECT_INT | ECT_REENCODE_ON_DEPEND);
    b->AddDependency(QStringLiteral(":/A"));  // stored in lower case
    ECEntry* c = e.Field(e.root.get(), "C", 1, ECT_COMPARE_CACHED);
    c->AddDependency(QStringLiteral(":/b"));
    ECEntry* quiet = e.Field(e.root.get(), "Quiet", 2, ECT_COMPARE_CACHED);
    quiet->AddDependency(QStringLiteral(":/a"));  // its value does not change: no further propagation

    a->SetValue(IntValue(5));
    EXPECT_EQ(e.bytes[0], 5);
    EXPECT_EQ(e.bytes[1], 10);
    EXPECT_EQ(c->GetInfo()->Cached, IntValue(10));
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/a", "Changed value: :/b", "Changed value: :/c"}));

    // The same value again: B re-encodes to the same bytes, nothing changes beyond A.
    e.log.Clear();
    a->SetValue(IntValue(5));
    EXPECT_EQ(e.log.Count(EC_LEVEL_CHANGED_VALUES), 0);  // only the origin was processed
}

TEST(Engine, SetValueWithoutSetClosureDoesNothing) {
    Engine e;
    EntryInfo* info = ECHelper::NewEntryInfo(
        ECT_INT, "RO", [](int32_t, uint8_t*, EntryInfo*) { return IntValue(1); }, {}, {}, "", "");
    auto* ro = new ECEntry(nullptr, e.root.get(), info, nullptr, 0);
    ECEntry* watcher = e.Field(e.root.get(), "W", 0);
    watcher->AddDependency(QStringLiteral(":/ro"));
    ro->SetValue(IntValue(7));
    EXPECT_EQ(ro->GetInfo()->Cached, IntValue(1));
    EXPECT_TRUE(e.log.messages.empty());
}

TEST(Engine, RethinkOnSetWaitsForCallRethinkFunction) {
    Engine e;
    int rethinks = 0;
    ECEntry* v = e.Field(e.root.get(), "Version", 0, ECT_RETHINK_ON_SET, [&](ECEntry*) { ++rethinks; });
    ECEntry* dep = e.Field(e.root.get(), "Dep", 1);
    dep->AddDependency(QStringLiteral(":/version"));
    v->SetValue(IntValue(4));
    EXPECT_EQ(rethinks, 0);
    EXPECT_TRUE(e.log.messages.empty());
    v->CallRethinkFunction();
    EXPECT_EQ(rethinks, 1);
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/version", "Changed value: :/dep"}));
}

TEST(Engine, MutualDependencyStopsAfter1000Iterations) {
    Engine e;
    ECEntry* x = e.Field(e.root.get(), "X", 0);
    ECEntry* y = e.Field(e.root.get(), "Y", 1);
    ECEntry* z = e.Field(e.root.get(), "Z", 2);
    y->AddDependency(QStringLiteral(":/x"));
    x->AddDependency(QStringLiteral(":/y"));
    y->AddDependency(QStringLiteral(":/z"));
    z->SetValue(IntValue(1));
    ASSERT_EQ(e.log.Count(EC_LEVEL_ERROR), 1);
    EXPECT_EQ(e.log.Texts(EC_LEVEL_ERROR).first(),
              QStringLiteral(
                  "Dependency iteration count has exceeded 1000 iterations! Probable cause is looped dependency."));
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/z", "Changed value: :/y", "Changed value: :/x"}));
    // The error comes before the list.
    EXPECT_EQ(e.log.messages.back().first, EC_LEVEL_CHANGED_VALUES);
}

TEST(Engine, SelfDependencyRaisesAndStillReportsTheList) {
    Engine e;
    ECEntry* a = e.Field(e.root.get(), "A", 0);
    ECEntry* b = e.Field(e.root.get(), "B", 1);
    b->AddDependency(QStringLiteral(":/a"));
    a->AddDependency(QStringLiteral(":/b"));  // B changes, then A (the origin) would depend on it
    try {
        a->SetValue(IntValue(3));
        FAIL() << "no exception";
    } catch (const ECException& ex) {
        EXPECT_EQ(ex.Message(), QStringLiteral("Internal error: Node depending on itself:\r\n:/A"));
    }
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/a", "Changed value: :/b"}));

    // Its own pattern matching the origin's path raises at once; only the
    // origin was processed, so no list.
    Engine f;
    ECEntry* s = f.Field(f.root.get(), "S", 0);
    s->AddDependency(QStringLiteral(":/s"));
    EXPECT_THROW(s->SetValue(IntValue(1)), ECException);
    EXPECT_EQ(f.log.Count(EC_LEVEL_CHANGED_VALUES), 0);
}

TEST(Engine, ReevaluateTreeRetestsEveryDependentEntry) {
    Engine e;
    ECEntry* group = new ECEntry(nullptr, e.root.get(), ECHelper::NewEntryInfo(0, "G", {}, {}, {}, "", ""), nullptr, 0);
    e.Field(group, "A", 0);
    ECEntry* b = e.Doubler(group, "B", 0, 1, ECT_INT | ECT_REENCODE_ON_DEPEND);
    b->AddDependency(QStringLiteral(":/g/a"));
    ECEntry* c = e.Field(group, "C", 1, ECT_COMPARE_CACHED);
    c->AddDependency(QStringLiteral(":/g/b"));
    e.bytes[0] = 21;  // changed behind the tree's back
    ECEntry::ReevaluateTree(e.root.get());
    EXPECT_EQ(e.bytes[1], 42);
    EXPECT_EQ(c->GetInfo()->Cached, IntValue(42));
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/g/b", "Changed value: :/g/c"}));
}

// A rethink that deletes and rebuilds entries during a propagation, some of
// which depend on the changed path themselves: nothing freed is used again
// (ASan checks), rebuilt entries take part from the next iteration on.
TEST(Engine, RebuildDuringPropagationIsSafe) {
    Engine e;
    ECEntry* a = e.Field(e.root.get(), "A", 0);
    int rebuilds = 0;
    ECEntry* holder = nullptr;
    auto rebuild = [&](ECEntry* self) {
        ++rebuilds;
        self->DeleteChilds();
        for (int i = 0; i < 3; ++i) {
            ECEntry* child = e.Field(self, Name("Child", i).c_str(), 3 + i, ECT_COMPARE_CACHED);
            child->AddDependency(QStringLiteral(":/a"));
            child->AddDependency(QStringLiteral(":/h/child*"));
        }
    };
    holder = e.Field(e.root.get(), "H", 2, ECT_RETHINK_ON_DEPEND, rebuild);
    holder->AddDependency(QStringLiteral(":/a"));
    rebuild(holder);
    ECEntry* after = e.Field(e.root.get(), "After", 6, ECT_COMPARE_CACHED);
    after->AddDependency(QStringLiteral(":/a"));
    rebuilds = 0;

    a->SetValue(IntValue(9));
    EXPECT_EQ(rebuilds, 1);
    EXPECT_EQ(holder->ChildCount(), 3);
    EXPECT_NE(e.root->FindEntry(QStringLiteral(":/h/child2")), nullptr);
    // The rebuilt children sit after "After" in the chain now; the walk of ":/a"
    // still reached "After" and then the new children (unchanged values), and
    // never touched the deleted ones.
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/a", "Changed value: :/h"}));

    // A rethink that deletes a later sibling which depends on the same path.
    Engine f;
    ECEntry* src = f.Field(f.root.get(), "Src", 0);
    ECEntry* victim = nullptr;
    ECEntry* killer = f.Field(f.root.get(), "Killer", 1, ECT_RETHINK_ON_DEPEND, [&](ECEntry*) {
        delete victim;
        victim = nullptr;
    });
    killer->AddDependency(QStringLiteral(":/src"));
    victim = f.Field(f.root.get(), "Victim", 2);
    victim->AddDependency(QStringLiteral(":/src"));
    ECEntry* last = f.Field(f.root.get(), "Last", 3);
    last->AddDependency(QStringLiteral(":/src"));
    src->SetValue(IntValue(1));
    EXPECT_EQ(f.root->FindEntry(QStringLiteral(":/victim")), nullptr);
    // Removing "Victim" moved "Last" down into the position the walk takes next.
    EXPECT_EQ(f.Changed(), (QStringList{"Changed value: :/src", "Changed value: :/killer", "Changed value: :/last"}));
}

TEST(Engine, NestedPropagationFromASetClosure) {
    Engine e;
    ECEntry* target = e.Field(e.root.get(), "Target", 1);
    ECEntry* dep = e.Field(e.root.get(), "Dep", 2);
    dep->AddDependency(QStringLiteral(":/target"));
    EntryInfo* info = ECHelper::NewEntryInfo(
        ECT_INT, "Driver", [](int32_t, uint8_t* d, EntryInfo*) { return ECVariant::OfInt(d[0]); },
        [target](int32_t, uint8_t* d, EntryInfo*, ECVariant v) {
            d[0] = static_cast<uint8_t>(v.Integer);
            target->SetValue(IntValue(v.Integer + 1));
        },
        {}, "", "");
    auto* driver = new ECEntry(nullptr, e.root.get(), info, &e.bytes[0], 0);
    driver->SetValue(IntValue(4));
    EXPECT_EQ(e.bytes[1], 5);
    ASSERT_EQ(e.log.Count(EC_LEVEL_CHANGED_VALUES), 1);  // the nested one; the driver's own had one line
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/target", "Changed value: :/dep"}));
}

TEST(Engine, MessagesForwardToTheTopRoot) {
    Engine e;
    ECEntry* g = new ECEntry(nullptr, e.root.get(), ECHelper::NewEntryInfo(0, "G", {}, {}, {}, "", ""), nullptr, 0);
    ECEntry* leaf = e.Field(g, "Leaf", 0);
    leaf->OnMessage(EC_LEVEL_WARNING, QStringLiteral("careful"));
    ASSERT_EQ(e.log.messages.size(), 1u);
    EXPECT_EQ(e.log.messages[0], std::make_pair(int32_t{EC_LEVEL_WARNING}, QStringLiteral("careful")));

    // A root that keeps its default closure drops messages: they go to the top
    // root only, so an inner entry's own closure and another tree's log see
    // nothing, and the change-list of a write below it goes nowhere either.
    ECEntry lone(nullptr, nullptr, ECHelper::NewEntryInfo(0x5016, "Lone", {}, {}, {}, "", "x"), nullptr, 0,
                 ECRethinkClosure());
    MessageLog inner;
    ECEntry* mid = new ECEntry(nullptr, &lone, ECHelper::NewEntryInfo(0, "Mid", {}, {}, {}, "", ""), nullptr, 0);
    mid->SetOnMessage(inner.Closure());
    ECEntry* child = new ECEntry(nullptr, mid, ECHelper::NewEntryInfo(0, "C", {}, {}, {}, "", ""), nullptr, 0);
    ECEntry* field = e.Field(mid, "Field", 1);
    e.Field(mid, "Dep", 2)->AddDependency(field->GetPath());  // two changed values make a change-list
    child->OnMessage(EC_LEVEL_ERROR, QStringLiteral("dropped"));
    lone.OnMessage(EC_LEVEL_ERROR, QStringLiteral("dropped"));
    field->SetValue(IntValue(7));
    EXPECT_EQ(e.bytes[1], 7);  // the write itself happened
    EXPECT_TRUE(inner.messages.empty());
    EXPECT_EQ(e.log.messages.size(), 1u);

    // Once the root has a closure, the same messages reach it, and only it.
    MessageLog top;
    lone.SetOnMessage(top.Closure());
    child->OnMessage(EC_LEVEL_ERROR, QStringLiteral("kept"));
    field->SetValue(IntValue(8));
    ASSERT_EQ(top.messages.size(), 2u);
    EXPECT_EQ(top.messages[0], std::make_pair(int32_t{EC_LEVEL_ERROR}, QStringLiteral("kept")));
    EXPECT_EQ(top.messages[1].first, int32_t{EC_LEVEL_CHANGED_VALUES});
    EXPECT_TRUE(inner.messages.empty());
    EXPECT_EQ(e.log.messages.size(), 1u);
}

// An event-only entry reacts to dependencies, but no pattern matches its own
// path "\xa7", so its change triggers nobody.
TEST(Engine, EventOnlyEntryReactsButTriggersNobody) {
    Engine e;
    ECEntry* a = e.Field(e.root.get(), "A", 0);
    ECEntry* event = e.Doubler(e.root.get(), "Event", 0, 1, ECT_INT | ECT_EVENT_ONLY | ECT_REENCODE_ON_DEPEND);
    event->AddDependency(QStringLiteral(":/a"));
    ECEntry* catchAll = e.Field(e.root.get(), "CatchAll", 2);
    catchAll->AddDependency(QStringLiteral("*"));
    catchAll->AddDependency(QStringLiteral("?"));
    a->SetValue(IntValue(3));
    EXPECT_EQ(e.bytes[1], 6);
    EXPECT_EQ(e.Changed(), (QStringList{"Changed value: :/a", QStringLiteral("Changed value: ") + QChar(0x00A7)}));
}

// The walk visits dependent entries in creation order, also when entries were
// removed from the middle of the chain and dependencies were added to older
// entries afterwards, in another order.
TEST(Engine, DependentsAreVisitedInCreationOrderAfterRemovals) {
    Engine e;
    std::vector<ECEntry*> entries;
    for (int i = 0; i < 10; ++i) entries.push_back(e.Field(e.root.get(), Name("E", i).c_str(), 0));
    delete entries[2];
    delete entries[5];
    ECEntry* group = new ECEntry(nullptr, e.root.get(), ECHelper::NewEntryInfo(0, "G", {}, {}, {}, "", ""), nullptr, 0);
    for (int i = 0; i < 3; ++i) e.Field(group, Name("L", i).c_str(), 0);
    group->DeleteChilds();
    for (int i : {9, 1, 7, 4}) entries[static_cast<size_t>(i)]->AddDependency(QStringLiteral(":/src"));
    ECEntry* late = e.Field(e.root.get(), "Late", 0);
    late->AddDependency(QStringLiteral(":/src"));
    entries[0]->AddDependency(QStringLiteral(":/src"));
    ECEntry* src = e.Field(e.root.get(), "Src", 1);
    src->SetValue(IntValue(1));
    EXPECT_EQ(e.Changed(),
              (QStringList{"Changed value: :/src", "Changed value: :/e0", "Changed value: :/e1", "Changed value: :/e4",
                           "Changed value: :/e7", "Changed value: :/e9", "Changed value: :/late"}));
    EXPECT_EQ(e.root->FindEntry(QStringLiteral(":/e?")), entries[0]);
    delete entries[0];
    EXPECT_EQ(e.root->FindEntry(QStringLiteral(":/e?")), entries[1]);
}
