#pragma once
// ECCollection: the ordered blocks of one E-EDID image, the collection root
// entry with its "Blocks in collection" entry, and the routing of messages.

#include "edid/core/ECEntry.h"
#include "edid/core/ECRootParser.h"

#include <cstdint>
#include <memory>
#include <vector>

class ECCollection {
public:
    // The most blocks a collection holds (an E-EDID image of 32768 bytes).
    static constexpr int kMaxBlocks = 256;

    // Headless: no tree view; the root's message closure is the router.
    explicit ECCollection(ECMessageClosure router);
    // Editor: the root's message closure is OnLogMessage (log, then router).
    ECCollection(ECTreeView* view, ECCollectionDialog* dialog, ECMessageClosure router, ECLogList* log);
    ~ECCollection();
    ECCollection(const ECCollection&) = delete;
    ECCollection& operator=(const ECCollection&) = delete;

    void Clear();
    // The new block's index, or -1 when the block is refused (all zero, no
    // codec accepts it, a null pointer, or the collection is full).
    int32_t AddBlock(const uint8_t* bytes, int32_t length);
    int32_t Count() const { return static_cast<int32_t>(blocks_.size()); }
    ECRootParser* GetBlock(int32_t index) const;
    void SnapshotAll();

    ECEntry* Root() const { return root_; }
    ECEntry* BlocksEntry() const { return blocksEntry_; }
    ECTreeView* TreeView() const { return view_; }

    static int32_t ParseNumber(const QString& text);

    // The root's message closure in editor instances.
    void OnLogMessage(int32_t level, const QString& text);

    // Prefix of levels 16, 32 and 48 ("Error: ", "Warning: ", "Information: "),
    // empty for every other level.
    static QString LevelPrefix(int32_t level);

private:
    void Build();
    void DestroyBlocks();
    ECVariant GetRootText();
    ECVariant GetBlockCount();
    void OnBlocksSet(ECVariant value);

    std::vector<std::unique_ptr<ECRootParser>> blocks_;
    ECEntry* root_ = nullptr;
    ECEntry* blocksEntry_ = nullptr;
    ECTreeView* view_ = nullptr;
    ECLogList* log_ = nullptr;
    ECCollectionDialog* dialog_ = nullptr;
    ECMessageClosure forward_;
};
