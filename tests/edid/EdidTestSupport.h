#pragma once
// Helpers for the EDID library tests: message capture, fake editor views,
// hand-made blocks.

#include "edid/core/ECCollection.h"
#include "edid/core/ECEntry.h"
#include "edid/core/ECViews.h"
#include "support/EdidFixtures.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace edid_test {

using Block = edid_fixtures::Block;

// Messages with their levels, as a router or message closure receives them.
struct MessageLog {
    std::vector<std::pair<int32_t, QString>> messages;
    ECMessageClosure Closure() {
        return [this](int32_t level, const QString& text) { messages.emplace_back(level, text); };
    }
    int Count(int32_t level) const {
        int n = 0;
        for (const auto& m : messages) n += m.first == level ? 1 : 0;
        return n;
    }
    QStringList Texts(int32_t level) const {
        QStringList out;
        for (const auto& m : messages)
            if (m.first == level) out << m.second;
        return out;
    }
    void Clear() { messages.clear(); }
};

// The shared hand-made blocks and the checksum helpers.
using edid_fixtures::BaseBlock;
using edid_fixtures::ChecksumGood;
using edid_fixtures::FixChecksum;
using edid_fixtures::TaggedBlock;

inline ECVariant IntValue(int32_t n) { return ECVariant::OfInt(n); }

// The entry with the given path (exact, case-insensitive) in a collection.
inline ECEntry* EntryAt(ECCollection& c, const QString& path) { return c.Root()->FindEntry(path); }

// Fake views of an editor window.
class FakeLog : public ECLogList {
public:
    QStringList lines;
    int selected = -1;
    int Count() const override { return static_cast<int>(lines.size()); }
    void AppendLine(const QString& line) override { lines << line; }
    void DeleteFirstLine() override { lines.removeFirst(); }
    void SelectLastLine() override { selected = static_cast<int>(lines.size()) - 1; }
};

class FakeDialog : public ECCollectionDialog {
public:
    int opened = 0;
    void Open(ECCollection*) override { ++opened; }
};

struct FakeNode {
    QString caption;
    FakeNode* parent = nullptr;
    ECEntry* entry = nullptr;
};

class FakeTree : public ECTreeView {
public:
    std::vector<FakeNode*> nodes;  // live nodes
    ~FakeTree() override {
        for (FakeNode* n : nodes) delete n;
    }
    ECTreeNode* AddNode(ECTreeNode* parent, const QString& caption, ECEntry* entry) override {
        auto* n = new FakeNode{caption, reinterpret_cast<FakeNode*>(parent), entry};
        nodes.push_back(n);
        return reinterpret_cast<ECTreeNode*>(n);
    }
    void SetCaption(ECTreeNode* node, const QString& caption) override {
        reinterpret_cast<FakeNode*>(node)->caption = caption;
    }
    void DeleteNode(ECTreeNode* node) override {
        auto* n = reinterpret_cast<FakeNode*>(node);
        for (FakeNode* other : nodes) EXPECT_NE(other->parent, n) << "node deleted before its children";
        nodes.erase(std::find(nodes.begin(), nodes.end(), n));
        delete n;
    }
};

}  // namespace edid_test
