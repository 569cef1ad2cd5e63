#pragma once
// Helpers for the EDID library tests: message capture, fake editor views,
// hand-made blocks.

#include "edid/core/ECCollection.h"
#include "edid/core/ECEntry.h"
#include "edid/core/ECViews.h"

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

using Block = std::array<uint8_t, 128>;

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

// Makes byte 127 the block's checksum.
inline void FixChecksum(Block& b) {
  unsigned sum = 0;
  for (int i = 0; i < 127; ++i) sum += b[i];
  b[127] = static_cast<uint8_t>(0u - sum);
}

inline bool ChecksumGood(const uint8_t* b) {
  unsigned sum = 0;
  for (int i = 0; i < 128; ++i) sum += b[i];
  return (sum & 0xFF) == 0;
}

// A block whose byte 0 is tag, the rest as given (zeros by default), checksum fixed.
inline Block TaggedBlock(uint8_t tag, std::vector<std::pair<int, uint8_t>> bytes = {}) {
  Block b{};
  b[0] = tag;
  for (auto [at, v] : bytes) b[static_cast<size_t>(at)] = v;
  FixChecksum(b);
  return b;
}

// A base EDID block (version 1.3) with a header, a name and a checksum.
inline Block BaseBlock() {
  Block b{};
  const uint8_t head[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0xAC, 0x34, 0x12,
                          0x01, 0x00, 0x00, 0x00, 0x0C, 0x1E, 0x01, 0x03, 0x80, 0x34, 0x20, 0x78};
  std::copy(std::begin(head), std::end(head), b.begin());
  FixChecksum(b);
  return b;
}

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
