#include "edid/core/ECEntry.h"

#include "edid/core/ECException.h"
#include "edid/core/ECFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// The encode chain of a root: every entry of the tree in creation order.
//
// It behaves like an array from which removals shift later entries down (the
// dependency engine's walk is defined over positions in it). Two indexes make
// it fast on large collections without changing that behaviour:
//  - every entry keeps a position hint (chainIndex_); appends set it exactly,
//    removals only move entries down, so the hint is never below the real
//    position; Renumber() makes all hints exact again;
//  - `dependents` lists the entries that have dependencies, in chain order, so
//    a walk can jump from one such entry to the next.
// While a subtree is being destroyed, removals only clear their slot and the
// chain is compacted once at the end (destroying a block is then linear).
namespace ec_detail {

struct EncodeChain {
    std::vector<ECEntry*> entries;
    std::vector<ECEntry*> dependents;
    bool indexExact = true;
    int bulkDepth = 0;
    bool hasHoles = false;

    void Append(ECEntry* e) {
        e->chainIndex_ = entries.size();
        entries.push_back(e);
    }

    void Renumber() {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i]) entries[i]->chainIndex_ = i;
        }
        indexExact = true;
    }

    void EnsureExact() {
        if (!indexExact) Renumber();
    }

    // Position of e, or entries.size() when it is not in the chain.
    size_t Find(const ECEntry* e) const {
        if (entries.empty()) return 0;
        size_t i = std::min(e->chainIndex_, entries.size() - 1);
        for (;; --i) {
            if (entries[i] == e) return i;
            if (i == 0) break;
        }
        return entries.size();
    }

    bool Remove(ECEntry* e) {
        const size_t i = Find(e);
        if (i >= entries.size()) return false;
        if (e->HasDependencies()) {
            auto it = std::find(dependents.begin(), dependents.end(), e);
            if (it != dependents.end()) dependents.erase(it);
        }
        if (bulkDepth > 0) {
            entries[i] = nullptr;
            hasHoles = true;
        } else {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            if (i != entries.size()) indexExact = false;
        }
        return true;
    }

    void AddDependent(ECEntry* e) {
        if (dependents.empty() || dependents.back()->chainIndex_ < e->chainIndex_) {
            // Hints never lie low, and e's own hint is exact while e is the newest
            // entry, so this keeps chain order without renumbering.
            if (Find(e) == e->chainIndex_) {
                dependents.push_back(e);
                return;
            }
        }
        EnsureExact();
        auto it = std::lower_bound(dependents.begin(), dependents.end(), e->chainIndex_,
                                   [](const ECEntry* d, size_t index) { return d->chainIndex_ < index; });
        dependents.insert(it, e);
    }

    void BeginBulk() {
        if (bulkDepth++ == 0) EnsureExact();
    }

    void EndBulk() {
        if (--bulkDepth == 0 && hasHoles) {
            entries.erase(std::remove(entries.begin(), entries.end(), nullptr), entries.end());
            hasHoles = false;
            Renumber();
        }
    }
};

}  // namespace ec_detail

using ec_detail::EncodeChain;

namespace {

const QChar kEventOnlyPath(0x00A7);  // "§"

class BulkScope {
public:
    explicit BulkScope(EncodeChain* chain) : chain_(chain) {
        if (chain_) chain_->BeginBulk();
    }
    ~BulkScope() {
        if (chain_) chain_->EndBulk();
    }
    BulkScope(const BulkScope&) = delete;
    BulkScope& operator=(const BulkScope&) = delete;

private:
    EncodeChain* chain_;
};

// Lines of an item list: CR LF, CR or LF end a line; a final line break does
// not start another (empty) line.
QStringList SplitItems(const QString& items) {
    QStringList lines;
    QString current;
    bool open = false;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QChar c = items.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(current);
            current.clear();
            open = false;
            if (c == QLatin1Char('\r') && i + 1 < items.size() && items.at(i + 1) == QLatin1Char('\n')) ++i;
        } else {
            current.append(c);
            open = true;
        }
    }
    if (open) lines.append(current);
    return lines;
}

// printf of one number with a codec's format text. Literal text and "%%" are
// copied; the first conversion is printed with the value when its conversion
// character fits the value's kind; anything else in the format is copied as
// it stands, so a format text can never make printf read a missing argument.
QString FormatNumber(const QString& format, bool isFloat, double f, int32_t n) {
    const std::string fmt = ECNarrow(format);
    std::string out;
    bool used = false;
    size_t i = 0;
    while (i < fmt.size()) {
        if (fmt[i] != '%') {
            out += fmt[i++];
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        size_t j = i + 1;
        while (j < fmt.size() && std::strchr("-+ #0", fmt[j])) ++j;
        while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') ++j;
        if (j < fmt.size() && fmt[j] == '.') {
            ++j;
            while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') ++j;
        }
        if (j < fmt.size() && fmt[j] == 'l') ++j;
        if (j >= fmt.size()) {
            out += fmt.substr(i);
            break;
        }
        const char conv = fmt[j];
        std::string spec = fmt.substr(i, j - i);
        if (!spec.empty() && spec.back() == 'l') spec.pop_back();
        spec += conv;
        const bool intConv = std::strchr("diouxXc", conv) != nullptr;
        const bool floatConv = std::strchr("eEfFgGaA", conv) != nullptr;
        if (!used && isFloat && floatConv) {
            out += ECFormat(spec.c_str(), f);
            used = true;
        } else if (!used && !isFloat && intConv) {
            if (conv == 'd' || conv == 'i' || conv == 'c') out += ECFormat(spec.c_str(), n);
            else out += ECFormat(spec.c_str(), static_cast<unsigned>(n));
            used = true;
        } else {
            out += fmt.substr(i, j + 1 - i);
        }
        i = j + 1;
    }
    return ECWiden(out);
}

}  // namespace

// ---------------------------------------------------------------- Watch

ECEntry::Watch::Watch(ECEntry* entry) : entry_(entry) {
    if (entry_) {
        next_ = entry_->watches_;
        entry_->watches_ = this;
    }
}

ECEntry::Watch::~Watch() {
    if (!entry_) return;
    for (Watch** w = &entry_->watches_; *w; w = &(*w)->next_) {
        if (*w == this) {
            *w = next_;
            break;
        }
    }
}

// ---------------------------------------------------------------- construction

ECEntry::ECEntry(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param,
                 ECRethinkClosure rethink)
    : RethinkFunction(std::move(rethink)) {
    Construct(view, parent, info, data, param);
}

ECEntry::ECEntry(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param) {
    if (!parent) {
        delete info;
        throw ECException(QStringLiteral("Tried Constructing Root node with child node constructor"));
    }
    Construct(view, parent, info, data, param);
}

void ECEntry::Construct(ECTreeView* view, ECEntry* parent, EntryInfo* info, uint8_t* data, int32_t param) {
    param_ = param;
    data_ = data;
    info_ = info;
    parent_ = parent;
    view_ = view;
    if (!info_->GetFunction) {
        info_->GetFunction = [this](int32_t, uint8_t*, EntryInfo*) { return ECVariant::OfText(GetDetailsText()); };
        info_->Flags = ECT_GROUP | ECT_READ_ONLY | ECT_FLAG_4000;
    }
    if (!info_->SetFunction) info_->Flags |= ECT_READ_ONLY;
    if (!info_->Filter) info_->Filter = [](ECVariant v) { return v; };
    if (view_ && !(info_->Flags & ECT_EVENT_ONLY)) {
        node_ = view_->AddNode(parent_ ? parent_->node_ : nullptr, info_->Name, this);
    }
    bool linked = false;
    bool chained = false;
    try {
        if (parent_) {
            parent_->AddChild(this);
            linked = true;
            AddToEncodeChain(this);
            chained = true;
        } else {
            chain_ = std::make_unique<EncodeChain>();
            chain_->Append(this);
            chained = true;
        }
        info_->Cached = CallGet();
    } catch (...) {
        // Undo what was done, so that a failed construction leaves the tree as it was.
        if (chained && parent_) Chain()->Remove(this);
        if (linked) {
            auto& list = *parent_->children_;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
        }
        if (node_) view_->DeleteNode(node_);
        delete info_;
        throw;
    }
    if (node_) view_->SetCaption(node_, info_->Name);
}

ECEntry::~ECEntry() {
    for (Watch* w = watches_; w; w = w->next_) w->entry_ = nullptr;
    watches_ = nullptr;
    {
        BulkScope bulk(Chain());
        while (children_ && !children_->empty()) delete children_->front();
        children_.reset();
        if (EncodeChain* chain = Chain()) chain->Remove(this);
    }
    chain_.reset();
    if (dependencies_ && !dependencies_->isEmpty()) {
        for (ECEntry* e = parent_; e; e = e->parent_) --e->subtreeDependents_;
    }
    if (parent_ && parent_->children_) {
        auto& list = *parent_->children_;
        auto it = std::find(list.begin(), list.end(), this);
        if (it != list.end()) list.erase(it);
    }
    dependencies_.reset();
    if (node_ && view_) view_->DeleteNode(node_);
    delete info_;
}

EncodeChain* ECEntry::Chain() {
    ECEntry* root = GetRoot();
    return root->chain_.get();
}

ECEntry* ECEntry::GetRoot() {
    ECEntry* e = this;
    while (e->parent_) e = e->parent_;
    return e;
}

// ---------------------------------------------------------------- tree operations

void ECEntry::AddChild(ECEntry* child) {
    if (info_->Flags & ECT_EVENT_ONLY)
        throw ECException(QStringLiteral("AddChild(): Tried to create childs for ECT_EVENT_ONLY entry"));
    if (!children_) children_ = std::make_unique<std::vector<ECEntry*>>();
    children_->push_back(child);
}

void ECEntry::RemChild(ECEntry* child) {
    if (!children_) throw ECException(QStringLiteral("RemChild() called on object having no childred"));
    auto it = std::find(children_->begin(), children_->end(), child);
    if (it == children_->end()) throw ECException(QStringLiteral("RemChild() failed: Child does not exist"));
    children_->erase(it);
}

void ECEntry::DeleteChilds() {
    if (!children_) return;
    BulkScope bulk(Chain());
    while (children_ && !children_->empty()) {
        ECEntry* child = children_->front();
        if (child->GetFlags() & ECT_RETHINK_ON_DEPEND) {
            throw ECException(
                QStringLiteral("DeleteChilds() failed: ECT_RETHINK_ON_DEPEND set for a node subject for deletion on "
                               "codec tree change"));
        }
        delete child;
    }
    children_.reset();
}

void ECEntry::AddToEncodeChain(ECEntry* entry) { Chain()->Append(entry); }

void ECEntry::RemEncodeChain(ECEntry* entry) {
    EncodeChain* chain = Chain();
    if (!chain || !chain->Remove(entry))
        throw ECException(QStringLiteral("RemEncodeChain() failed: Encoder does not exist"));
}

ECEntry* ECEntry::GetChild(int index) const {
    if (!children_ || index < 0 || index >= static_cast<int>(children_->size())) return nullptr;
    return (*children_)[static_cast<size_t>(index)];
}

void ECEntry::AddDependency(const QString& pattern) {
    const bool first = !HasDependencies();
    if (!dependencies_) dependencies_ = std::make_unique<QStringList>();
    dependencies_->append(LowerPath(pattern));
    if (first) {
        if (EncodeChain* chain = Chain()) chain->AddDependent(this);
        for (ECEntry* e = this; e; e = e->parent_) ++e->subtreeDependents_;
    }
}

QString ECEntry::GetPath() const {
    if (info_->Flags & ECT_EVENT_ONLY) return QString(kEventOnlyPath);
    const QString& component = (info_->Flags & ECT_PATH_BY_INDEX) ? info_->Format : info_->Name;
    if (!parent_) return component;
    return parent_->GetPath() + QLatin1Char('/') + component;
}

QString ECEntry::LowerPath(const QString& text) { return text.toLower(); }

ECEntry* ECEntry::FindEntry(const QString& pattern) {
    const QString lowered = LowerPath(pattern);
    EncodeChain* chain = Chain();
    for (ECEntry* e : chain->entries) {
        if (e && MatchPath(lowered, LowerPath(e->GetPath()), false)) return e;
    }
    return nullptr;
}

bool ECEntry::MatchPath(const QString& pattern, const QString& path, bool crossing) {
    if (!path.isEmpty() && path.at(0) == kEventOnlyPath) return false;
    const qsizetype plen = path.size();
    const qsizetype qlen = pattern.size();
    qsizetype p0 = 0, q0 = 0, p = 0, q = 0;
    bool afterStar = false;
    const QChar star(QLatin1Char('*'));
    while (p < plen) {
        if (!crossing && path.at(p) == QLatin1Char('/')) afterStar = false;
        if (q < qlen && pattern.at(q) == star) {
            afterStar = true;
            p0 = p;
            q0 = q + 1;
            if (crossing && q0 == qlen) return true;
            p = p0;
            q = q0;
            continue;
        }
        if (q < qlen && (pattern.at(q) == QLatin1Char('?') || pattern.at(q) == path.at(p))) {
            ++p;
            ++q;
            continue;
        }
        if (!afterStar) return false;
        ++p0;
        p = p0;
        q = q0;
    }
    if (q < qlen && pattern.at(q) == star) ++q;
    return q == qlen;
}

// ---------------------------------------------------------------- values

ECVariant ECEntry::GetValue() {
    info_->Cached = CallGet();
    return info_->Cached;
}

void ECEntry::SetValue(ECVariant value) {
    if (!info_->SetFunction) return;
    Watch self(this);
    info_->Cached = value;
    ECSetClosure set = info_->SetFunction;  // the closure may outlive a rebuild it starts
    set(param_, data_, info_, value);
    if (!self.Get()) return;
    info_->Cached = CallGet();
    if (!(info_->Flags & ECT_RETHINK_ON_SET)) PropagateChange(this);
}

void ECEntry::Reencode() {
    if (!info_->GetFunction || !info_->SetFunction) return;
    Watch self(this);
    ECVariant value = GetValue();
    ECSetClosure set = info_->SetFunction;
    set(param_, data_, info_, value);
    if (!self.Get()) return;
    info_->Cached = CallGet();
}

void ECEntry::CallRethinkFunction() {
    if (!RethinkFunction)
        throw ECException(QStringLiteral("CallRethinkFunction(): No rethink function specified for this entry"));
    Watch self(this);
    ECRethinkClosure rethink = RethinkFunction;
    rethink(this);
    if (self.Get()) PropagateChange(this);
}

// ---------------------------------------------------------------- engine

bool ECEntry::HasChanged(ECEntry* entry, ECEntry* origin) {
    if (entry == origin) {
        throw ECException(QStringLiteral("Internal error: Node depending on itself:\r\n") + entry->GetPath());
    }
    Watch self(entry);
    const uint32_t flags = entry->GetFlags();
    if ((flags & ECT_RETHINK_ON_DEPEND) && entry->RethinkFunction) {
        ECRethinkClosure rethink = entry->RethinkFunction;
        rethink(entry);
        if (!self.Get()) return false;
    }
    if (flags & ECT_REENCODE_ON_DEPEND) {
        const ECVariant before = entry->GetValue();
        entry->Reencode();
        if (!self.Get()) return false;
        return entry->info_->Cached != before;
    }
    if (flags & ECT_COMPARE_CACHED) {
        const ECVariant old = entry->info_->Cached;
        return entry->GetValue() != old;
    }
    entry->GetValue();
    return true;
}

void ECEntry::SendToRootClosure(int32_t level, const QString& text) {
    ECEntry* top = GetRoot();
    if (top->message_) top->message_(level, text);
}

void ECEntry::PropagateChange(ECEntry* origin) {
    ECEntry* top = origin->GetRoot();
    Watch originWatch(origin);
    Watch topWatch(top);
    QStringList work{LowerPath(origin->GetPath())};
    QStringList changed;
    int iterations = 0;

    auto reportChanged = [&] {
        if (topWatch.Get() && top->message_ && changed.size() > 1) {
            QString text;
            for (const QString& line : changed) text += line + QStringLiteral("\r\n");
            top->message_(EC_LEVEL_CHANGED_VALUES, text);
        }
    };

    try {
        while (!work.isEmpty() && topWatch.Get()) {
            if (++iterations > 1000) {
                if (top->message_) {
                    top->message_(EC_LEVEL_ERROR,
                                  QStringLiteral("Dependency iteration count has exceeded 1000 iterations! "
                                                 "Probable cause is looped dependency."));
                }
                break;
            }
            EncodeChain* chain = top->chain_.get();
            const size_t n = chain->entries.size();
            const QString path = work.takeFirst();
            const QString line = QStringLiteral("Changed value: ") + path;
            if (!changed.contains(line)) changed.append(line);

            // Visit positions 0 .. n-1 of the chain as they are at each step; only
            // entries with dependencies do anything, so jump between those.
            size_t position = 0;
            while (position < n && position < chain->entries.size()) {
                chain->EnsureExact();
                auto it = std::lower_bound(chain->dependents.begin(), chain->dependents.end(), position,
                                           [](const ECEntry* d, size_t index) { return d->chainIndex_ < index; });
                if (it == chain->dependents.end()) break;
                ECEntry* entry = *it;
                const size_t at = entry->chainIndex_;
                if (at >= n) break;
                Watch entryWatch(entry);
                for (qsizetype k = 0; entryWatch.Get() && entry->dependencies_ && k < entry->dependencies_->size();
                     ++k) {
                    const QString pattern = entry->dependencies_->at(k);
                    const bool crossing = pattern.size() >= 2 && pattern.at(0) == QLatin1Char('*');
                    if (!MatchPath(pattern, path, crossing)) continue;
                    if (HasChanged(entry, originWatch.Get()) && entryWatch.Get()) {
                        const QString entryPath = LowerPath(entry->GetPath());
                        if (!work.contains(entryPath)) work.append(entryPath);
                    }
                }
                position = at + 1;
                if (!topWatch.Get()) break;
            }
        }
    } catch (...) {
        reportChanged();
        throw;
    }
    reportChanged();
}

void ECEntry::ReevaluateTree(ECEntry* entry) {
    Watch self(entry);
    for (int k = 0; self.Get() && k < entry->ChildCount(); ++k) {
        ECEntry* child = (*entry->children_)[static_cast<size_t>(k)];
        // A subtree without dependencies does nothing here (and calls nothing
        // that could change the tree): most of a large collection.
        if (child->subtreeDependents_ == 0) continue;
        Watch childWatch(child);
        ReevaluateTree(child);
        if (!childWatch.Get() || !child->HasDependencies()) continue;
        if (HasChanged(child, nullptr) && childWatch.Get()) PropagateChange(child);
    }
}

// ---------------------------------------------------------------- texts

QString ECEntry::ValueTextOf(const ECVariant& v) const {
    const EntryInfo& i = *info_;
    switch (i.Type()) {
        case ECT_BOOL:
            return i.Prefix + (v.IsTrue() ? i.TrueText : i.FalseText) + i.Suffix;
        case ECT_INT:
        case ECT_HEX:
            if (i.Flags & 0x8)
                return i.Prefix + QStringLiteral("0x") + FormatNumber(i.Format, false, 0, v.Integer) + i.Suffix;
            return i.Prefix + v.Text + i.Suffix;
        case ECT_FLOAT:
            return i.Prefix + FormatNumber(i.Format, true, v.Float, 0) + i.Suffix;
        case ECT_STRING:
        case ECT_LIST:
        case ECT_LIST_TEXT:
        case ECT_ACTION:
        case ECT_BUTTON: {
            if (!v.Text.isEmpty()) return i.Prefix + v.Text + i.Suffix;
            if (i.Type() == ECT_STRING) return i.Prefix + i.Suffix;
            const QStringList lines = SplitItems(i.Format);
            const uint32_t index = static_cast<uint32_t>(v.Integer);
            if (index >= static_cast<uint32_t>(lines.size())) return QStringLiteral("Index reference out of range");
            return i.Prefix + lines.at(static_cast<qsizetype>(index)) + i.Suffix;
        }
        case ECT_GROUP:
            return v.Text;
        default:
            return QString();
    }
}

QString ECEntry::GetValueText() {
    const ECVariant v = CallGet();
    switch (info_->Type()) {
        case ECT_ACTION:
        case ECT_BUTTON:
        case ECT_GROUP:
            return v.Text;  // shown unchanged in the editor
        default:
            return ValueTextOf(v);
    }
}

QString ECEntry::GetDetails() { return GetDetailsText(); }

QString ECEntry::GetDetailsText() {
    if (!HasChildren()) return QString();
    QString out;
    QString separator;
    const QString nl = QStringLiteral("\n");
    // First pass: children without children.
    for (int k = 0; k < ChildCount(); ++k) {
        ECEntry* c = GetChild(k);
        if (c->HasChildren()) continue;
        const uint32_t type = c->info_->Type();
        if (type == ECT_GROUP) {
            out += c->GetValue().Text;
        } else if (type >= ECT_INT && type <= ECT_BUTTON) {
            out += c->GetName() + QLatin1Char('=') + c->ValueTextOf(c->CallGet()) + nl;
        }
        separator = QStringLiteral(" = \n");
    }
    // Second pass: children with children, each followed by its own details.
    for (int k = 0; k < ChildCount(); ++k) {
        ECEntry* c = GetChild(k);
        if (!c->HasChildren()) continue;
        const uint32_t type = c->info_->Type();
        if (type == ECT_GROUP) {
            out += separator + c->GetName() + QStringLiteral("= \n = \n") + c->GetDetailsText();
        } else if (type >= ECT_INT && type <= ECT_BUTTON) {
            out += separator + c->GetName() + QLatin1Char('=') + c->ValueTextOf(c->CallGet()) +
                   QStringLiteral("\n = \n") + c->GetDetailsText();
        }
        separator = QStringLiteral(" = \n");
    }
    return out;
}

// ---------------------------------------------------------------- messages

void ECEntry::OnMessage(int32_t level, const QString& text) {
    if (defaultMessage_) {
        ForwardMessage(level, text);
    } else if (message_) {
        message_(level, text);
    }
}

void ECEntry::SetOnMessage(ECMessageClosure closure) {
    message_ = std::move(closure);
    defaultMessage_ = false;
}

void ECEntry::ForwardMessage(int32_t level, const QString& text) {
    // A root that kept the default closure drops the message.
    ECEntry* top = GetRoot();
    if (!top->defaultMessage_ && top->message_) top->message_(level, text);
}
