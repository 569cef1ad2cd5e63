#pragma once
// Helpers for the CEA-861 codec tests: hand-made extension blocks, a headless
// collection holding one of them, entry lookup below "CEA Extensions Version"
// and a Set that behaves like the editor (rethink after a write where the
// entry asks for it).

#include "edid/BuildOptions.h"
#include "edid/cea861/CEA861.h"
#include "edid/core/ECCollection.h"
#include "edid/core/ECEntry.h"

#include "edid/EdidTestSupport.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{";
    for (const QString& s : l) *os << '"' << s.toStdString() << "\" ";
    *os << "}";
}

namespace cea_test {

using edid_test::Block;
using ByteList = edid_fixtures::ByteList;
using edid_fixtures::MakeCea;

// The 1920x1080p detailed timing that new descriptor slots receive.
inline const ByteList kDtd1080p = edid_fixtures::Dtd1080p(1600, 900);
// 1280x720p at 74.25 MHz.
inline const ByteList kDtd720p = {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E,
                                  0x28, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E};

inline ByteList Slice(const uint8_t* bytes, int from, int to) { return ByteList(bytes + from, bytes + to); }

// One headless collection holding the block under test at index 1 (after a
// base block, so no index warning) or at index 0.
class CeaFixture : public ::testing::Test {
protected:
    edid_test::MessageLog log;
    ECCollection collection{log.Closure()};
    int index = -1;

    void Load(const Block& block, bool afterBase = true) {
        if (afterBase) {
            ASSERT_GE(collection.AddBlock(edid_test::BaseBlock().data(), 128), 0);
        }
        index = collection.AddBlock(block.data(), 128);
        ASSERT_GE(index, 0);
        log.Clear();
    }
    const uint8_t* Bytes() const { return collection.GetBlock(index)->Bytes(); }
    cea_test::ByteList Area() const { return Slice(Bytes(), 4, 127); }
    Block Copy() const {
        Block b{};
        std::copy(Bytes(), Bytes() + 128, b.begin());
        return b;
    }
    CEA861* Codec() const { return static_cast<CEA861*>(collection.GetBlock(index)->Codec()); }
    QString Path(const QString& below) const {
        return QStringLiteral(":/%1/CEA Extensions Version/").arg(index) + below;
    }
    // An entry below "CEA Extensions Version" (null when there is none); the
    // empty text names "CEA Extensions Version" itself.
    ECEntry* E(const QString& below) const {
        if (below.isEmpty())
            return collection.Root()->FindEntry(QStringLiteral(":/%1/CEA Extensions Version").arg(index));
        return collection.Root()->FindEntry(Path(below));
    }
    // Below the type entry of data block n.
    ECEntry* D(int n, const QString& below = QString()) const {
        const QString type = QStringLiteral("CEA Data block count/Data block %1 Type").arg(n);
        return E(below.isEmpty() ? type : type + "/" + below);
    }
    ECEntry* Must(ECEntry* entry, const char* what) const {
        EXPECT_NE(entry, nullptr) << what;
        return entry;
    }
    // Sets like the editor: write, then rethink for entries that rebuild on set.
    void Set(ECEntry* entry, ECVariant value) {
        ASSERT_NE(entry, nullptr);
        const uint32_t flags = entry->GetFlags();
        entry->SetValue(value);
        if (flags & ECT_RETHINK_ON_SET) entry->CallRethinkFunction();
    }
    void SetInt(ECEntry* entry, int v) { Set(entry, ECVariant::OfInt(v)); }
    void SetText(ECEntry* entry, const char* text) { Set(entry, ECVariant::OfText(QString::fromLatin1(text))); }
    void SetFloat(ECEntry* entry, double v) { Set(entry, ECVariant::OfDouble(v)); }
    QString Text(ECEntry* entry) const { return entry ? entry->GetValueText() : QStringLiteral("<missing>"); }
    QStringList Errors() const { return log.Texts(EC_LEVEL_ERROR); }
    QStringList Warnings() const { return log.Texts(EC_LEVEL_WARNING); }
    QStringList ChildNames(ECEntry* entry) const {
        QStringList names;
        for (int i = 0; entry && i < entry->ChildCount(); ++i) names << entry->GetChild(i)->GetName();
        return names;
    }
    // The first data block copy's bytes as the block holds them.
    cea_test::ByteList FirstBlock() const { return Slice(Bytes(), 4, 4 + (Bytes()[4] & 0x1F) + 1); }
};

}  // namespace cea_test
