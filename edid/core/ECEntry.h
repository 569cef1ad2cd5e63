#pragma once
// ECEntry: one node of the entry tree, and the dependency engine.
//
// Every block is a tree of entries below the collection root; the root keeps
// the encode chain (every entry below it, in creation order). Entries depend
// on each other by lower-case path patterns with "*" and "?"; a change of a
// value propagates to every entry whose pattern matches the changed path.

#include "edid/core/ECViews.h"
#include "edid/core/EntryInfo.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ECEntry;

using ECRethinkClosure = std::function<void(ECEntry* entry)>;
using ECMessageClosure = std::function<void(int32_t level, const QString& text)>;
using ECPickClosure = std::function<void(ECEntry* entry)>;
using ECQuickConfigClosure = std::function<void(ECPopupMenu* menu, ECEntry* entry, ECPickClosure pick)>;

// Message levels of the library.
enum ECMessageLevel : int32_t {
    EC_LEVEL_ERROR = 16,
    EC_LEVEL_WARNING = 32,
    EC_LEVEL_INFORMATION = 48,
    EC_LEVEL_CHANGED_VALUES = 49,
};

namespace ec_detail {
struct EncodeChain;
}

class ECEntry {
public:
    // With a rethink closure. parent may be null: the entry becomes a root.
    // The entry takes ownership of info.
    ECEntry(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param, ECRethinkClosure rethink);
    // Without a rethink closure; a null parent raises ECException.
    ECEntry(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param);
    virtual ~ECEntry();

    ECEntry(const ECEntry&) = delete;
    ECEntry& operator=(const ECEntry&) = delete;

    // Tree operations.
    void AddChild(ECEntry* child);
    void RemChild(ECEntry* child);
    void DeleteChilds();
    void AddToEncodeChain(ECEntry* entry);
    void RemEncodeChain(ECEntry* entry);
    ECEntry* GetChild(int index) const;
    int ChildCount() const { return children_ ? static_cast<int>(children_->size()) : 0; }
    bool HasChildren() const { return ChildCount() > 0; }
    ECEntry* GetParent() const { return parent_; }
    ECEntry* GetRoot();  // the top root (entry without parent)
    void AddDependency(const QString& pattern);
    bool HasDependencies() const { return dependencies_ && !dependencies_->isEmpty(); }
    const QStringList* GetDependencies() const { return dependencies_.get(); }
    QString GetPath() const;
    ECEntry* FindEntry(const QString& pattern);

    // Accessors.
    uint32_t GetFlags() const { return info_->Flags; }
    const QString& GetName() const { return info_->Name; }
    const QString& GetRangeHint() const { return info_->RangeHint; }
    const QString& GetFormat() const { return info_->Format; }
    EntryInfo* GetInfo() const { return info_; }
    uint8_t* GetData() const { return data_; }
    int32_t GetParam() const { return param_; }
    ECTreeNode* GetTreeNode() const { return node_; }
    QString GetDetails();
    // The details text (name=value lines of the children) of this entry.
    QString GetDetailsText();

    // Value operations.
    ECVariant GetValue();
    void SetValue(ECVariant value);
    void Reencode();
    void CallRethinkFunction();
    // The dependency engine (static: they take the entries they work on).
    static bool HasChanged(ECEntry* entry, ECEntry* origin);
    static void PropagateChange(ECEntry* origin);
    static void ReevaluateTree(ECEntry* entry);
    bool HasRethinkFunction() const { return static_cast<bool>(RethinkFunction); }

    // Display text of the value (calls Get afresh; does not touch Cached).
    QString GetValueText();

    // Messages: OnMessage calls the entry's message closure (by default
    // ForwardMessage, which hands the message to the top root's closure).
    void OnMessage(int32_t level, const QString& text);
    void SetOnMessage(ECMessageClosure closure);
    void ForwardMessage(int32_t level, const QString& text);

    // The pattern matcher; both texts lower case. crossing: a "*" may span "/".
    static bool MatchPath(const QString& pattern, const QString& path, bool crossing);
    // Lower-casing used for paths and patterns.
    static QString LowerPath(const QString& text);

    ECRethinkClosure RethinkFunction;
    ECQuickConfigClosure QuickConfig;

    // Tracks whether an entry still exists (like a weak pointer); used by the
    // engine so that no entry is touched after a rethink freed it.
    class Watch {
    public:
        explicit Watch(ECEntry* entry);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
        ECEntry* Get() const { return entry_; }

    private:
        friend class ECEntry;
        ECEntry* entry_;
        Watch* next_ = nullptr;
    };

private:
    void Construct(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param);
    ec_detail::EncodeChain* Chain();
    QString ValueTextOf(const ECVariant& value) const;
    ECVariant CallGet() { return info_->GetFunction(param_, data_, info_); }
    void SendToRootClosure(int32_t level, const QString& text);

    ECTreeNode* node_ = nullptr;
    ECTreeView* view_ = nullptr;
    std::unique_ptr<ec_detail::EncodeChain> chain_;
    std::unique_ptr<std::vector<ECEntry*>> children_;
    EntryInfo* info_ = nullptr;
    ECEntry* parent_ = nullptr;
    std::unique_ptr<QStringList> dependencies_;
    ECMessageClosure message_;
    bool defaultMessage_ = true;
    int32_t param_ = 0;
    uint8_t* data_ = nullptr;
    // Position hint in the root's encode chain (see ECEntry.cpp).
    size_t chainIndex_ = 0;
    // Entries with dependencies in this entry's subtree (itself included), so
    // that re-evaluation can pass over subtrees in which nothing can change.
    int32_t subtreeDependents_ = 0;
    Watch* watches_ = nullptr;

    friend struct ec_detail::EncodeChain;
};
