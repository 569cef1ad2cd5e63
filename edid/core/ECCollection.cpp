#include "edid/core/ECCollection.h"

#include "edid/BuildOptions.h"
#include "edid/core/ECException.h"
#include "edid/core/ECFormat.h"
#include "edid/core/ECHelper.h"

namespace {
// Numbers the collections of the process (GUI thread only).
int g_collectionCounter = 0;
}  // namespace

ECCollection::ECCollection(ECMessageClosure router) : forward_(std::move(router)) {
    Build();
    root_->SetOnMessage(forward_);
}

ECCollection::ECCollection(ECTreeView* view, ECCollectionDialog* dialog, ECMessageClosure router, ECLogList* log)
    : view_(view), log_(log), dialog_(dialog), forward_(std::move(router)) {
    Build();
    root_->SetOnMessage([this](int32_t level, const QString& text) { OnLogMessage(level, text); });
}

void ECCollection::Build() {
    const int number = ++g_collectionCounter;
    auto* rootInfo = new EntryInfo;
    rootInfo->GetFunction = [this](int32_t, uint8_t*, EntryInfo*) { return GetRootText(); };
    rootInfo->Flags = ECT_GROUP | ECT_PATH_BY_INDEX | ECT_READ_ONLY | ECT_FLAG_4000;  // 5016h
    rootInfo->Name = ECFormatW("Collection %d", number);
    rootInfo->Format = QStringLiteral(":");
    rootInfo->Cached.SetText(QString());
    root_ = new ECEntry(view_, nullptr, rootInfo, nullptr, 0, [](ECEntry*) {});

    auto* blocksInfo = new EntryInfo;
    blocksInfo->GetFunction = [this](int32_t, uint8_t*, EntryInfo*) { return GetBlockCount(); };
    blocksInfo->SetFunction = [this](int32_t, uint8_t*, EntryInfo*, ECVariant v) { OnBlocksSet(v); };
    blocksInfo->Flags = ECT_BUTTON | ECT_FLAG_4000;  // 400Ah
    blocksInfo->Name = QStringLiteral("Blocks in collection");
    blocksInfo->RangeHint = QStringLiteral("Click set to change config");
    blocksEntry_ = new ECEntry(view_, root_, blocksInfo, nullptr, 0);
}

namespace {
// A bulk change of the tree view's nodes while whole blocks are destroyed:
// the view may then take the nodes out of its display at once instead of
// hearing of each deleted node (which, on a large expanded tree, costs a
// walk of the whole display per node).
class ViewUpdate {
public:
    explicit ViewUpdate(ECTreeView* view) : view_(view) {
        if (view_) view_->BeginUpdate();
    }
    ~ViewUpdate() {
        if (view_) view_->EndUpdate();
    }
    ViewUpdate(const ViewUpdate&) = delete;
    ViewUpdate& operator=(const ViewUpdate&) = delete;

private:
    ECTreeView* view_;
};
}  // namespace

void ECCollection::DestroyBlocks() {
    ViewUpdate update(view_);
    for (auto& block : blocks_) block.reset();  // first to last
    blocks_.clear();
}

ECCollection::~ECCollection() {
    ViewUpdate update(view_);
    DestroyBlocks();
    delete root_;
}

void ECCollection::Clear() {
    DestroyBlocks();
    ECVariant v;
    v.SetInt(-1);
    blocksEntry_->SetValue(v);
}

int32_t ECCollection::AddBlock(const uint8_t* bytes, int32_t length) {
    if (!bytes || length <= 0) return -1;
    bool allZero = true;
    for (int32_t i = 0; i < length && allZero; ++i) allZero = bytes[i] == 0;
    if (allZero) return -1;
    // One limit everywhere: an E-EDID image holds at most 256 blocks.
    if (Count() >= kMaxBlocks) return -1;
    std::unique_ptr<ECRootParser> parser;
    try {
        parser = std::make_unique<ECRootParser>(root_, Count(), length, bytes, view_);
    } catch (const ECException&) {
        return -1;
    }
    blocks_.push_back(std::move(parser));
    ECVariant v;
    v.SetInt(-1);
    blocksEntry_->SetValue(v);
    ECEntry::ReevaluateTree(root_);
    return Count() - 1;
}

ECRootParser* ECCollection::GetBlock(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return blocks_[static_cast<size_t>(index)].get();
}

void ECCollection::SnapshotAll() {
    for (auto& block : blocks_) block->Snapshot();
}

int32_t ECCollection::ParseNumber(const QString& text) { return ECParseNumber(text); }

ECVariant ECCollection::GetRootText() {
    return ECVariant::OfText(ECFormatW("Merovan E-EDID Codec=V%d.%d.%d\r\nBlocks in collection=%d",
                                       edid_build::kVersionMajor, edid_build::kVersionMinor,
                                       edid_build::kVersionRelease, Count()));
}

ECVariant ECCollection::GetBlockCount() { return ECVariant::OfInt(Count()); }

void ECCollection::OnBlocksSet(ECVariant value) {
    if (value.Integer != -1 && dialog_) dialog_->Open(this);
}

QString ECCollection::LevelPrefix(int32_t level) {
    switch (level) {
        case EC_LEVEL_ERROR:
            return QStringLiteral("Error: ");
        case EC_LEVEL_WARNING:
            return QStringLiteral("Warning: ");
        case EC_LEVEL_INFORMATION:
            return QStringLiteral("Information: ");
        default:
            return QString();
    }
}

void ECCollection::OnLogMessage(int32_t level, const QString& text) {
    if (!log_) throw ECException(QStringLiteral("Message without log component"));
    const bool logged = level == EC_LEVEL_ERROR || level == EC_LEVEL_WARNING || level == EC_LEVEL_INFORMATION ||
                        level == EC_LEVEL_CHANGED_VALUES;
    if (logged) {
        const QString added = LevelPrefix(level) + text;
        // The added text starts a new line; CR LF, CR or LF end its lines, and a
        // final line break starts no further line.
        QString line;
        bool open = false;
        for (qsizetype i = 0; i < added.size(); ++i) {
            const QChar c = added.at(i);
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                log_->AppendLine(line);
                line.clear();
                open = false;
                if (c == QLatin1Char('\r') && i + 1 < added.size() && added.at(i + 1) == QLatin1Char('\n')) ++i;
            } else {
                line.append(c);
                open = true;
            }
        }
        if (open) log_->AppendLine(line);
    }
    if (forward_) forward_(level, text);
    while (log_->Count() > 1024) log_->DeleteFirstLine();
    log_->SelectLastLine();
}
