#pragma once
// Helpers for the base-block codec tests: a headless collection holding
// hand-made blocks, entry lookup below a block's "Version" entry, and a Set
// that behaves like the editor (rethink after a write where the entry asks
// for it).

#include "edid/core/ECCollection.h"
#include "edid/core/ECEntry.h"
#include "edid/core/ECException.h"

#include "edid/EdidTestSupport.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace codec_test {

using edid_test::Block;
// The shared base blocks and block writers.
using edid_fixtures::AnalogBase13;
using edid_fixtures::DigitalBase14;
using edid_fixtures::EmptyBase;
using edid_fixtures::Put;
using edid_fixtures::PutText;

// A headless collection with a message log.
class CodecFixture : public ::testing::Test {
protected:
    CodecFixture() : collection_(log_.Closure()) {}

    int32_t Add(const Block& b) { return collection_.AddBlock(b.data(), 128); }

    // Block bytes as the collection holds them.
    const uint8_t* Bytes(int block = 0) const { return collection_.GetBlock(block)->Bytes(); }
    uint8_t Byte(int at, int block = 0) const { return Bytes(block)[at]; }
    std::vector<uint8_t> Range(int at, int count, int block = 0) const {
        return std::vector<uint8_t>(Bytes(block) + at, Bytes(block) + at + count);
    }

    // The entry at ":/<block>/Version/" + path (or ":/<block>/" + path when the
    // path starts with "/").
    ECEntry* At(const QString& path, int block = 0) {
        const QString full = path.startsWith(QLatin1Char('/')) ? QStringLiteral(":/%1%2").arg(block).arg(path)
                                                               : QStringLiteral(":/%1/Version/%2").arg(block).arg(path);
        ECEntry* e = collection_.Root()->FindEntry(full);
        EXPECT_NE(e, nullptr) << "no entry " << full.toStdString();
        return e;
    }
    bool Exists(const QString& path, int block = 0) {
        const QString full = path.startsWith(QLatin1Char('/')) ? QStringLiteral(":/%1%2").arg(block).arg(path)
                                                               : QStringLiteral(":/%1/Version/%2").arg(block).arg(path);
        return collection_.Root()->FindEntry(full) != nullptr;
    }
    QString Text(const QString& path, int block = 0) {
        ECEntry* e = At(path, block);
        return e ? e->GetValueText() : QStringLiteral("<missing>");
    }

    // Writes a value the way the editor does: Set, then the rethink when the
    // entry rebuilds itself on a set.
    static void Apply(ECEntry* e, const ECVariant& value) {
        ASSERT_NE(e, nullptr);
        const bool rethink = (e->GetFlags() & ECT_RETHINK_ON_SET) != 0;
        e->SetValue(value);
        if (rethink) e->CallRethinkFunction();
    }
    void SetInt(const QString& path, int32_t n, int block = 0) { Apply(At(path, block), ECVariant::OfInt(n)); }
    void SetDouble(const QString& path, double x, int block = 0) { Apply(At(path, block), ECVariant::OfDouble(x)); }
    void SetText(const QString& path, const QString& s, int block = 0) { Apply(At(path, block), ECVariant::OfText(s)); }
    void SetIndex(const QString& path, int32_t n, int block = 0) { Apply(At(path, block), ECVariant::OfInt(n)); }

    QStringList Errors() const { return log_.Texts(EC_LEVEL_ERROR); }
    QStringList Warnings() const { return log_.Texts(EC_LEVEL_WARNING); }
    void ClearLog() { log_.Clear(); }

    edid_test::MessageLog log_;
    ECCollection collection_;
};

}  // namespace codec_test
