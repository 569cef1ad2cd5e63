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

// Writes bytes at an offset of a block.
inline void Put(Block& b, int at, std::initializer_list<uint8_t> bytes) {
  for (uint8_t v : bytes) b[static_cast<size_t>(at++)] = v;
}

inline void PutText(Block& b, int at, const char* text) {
  while (*text) b[static_cast<size_t>(at++)] = static_cast<uint8_t>(*text++);
}

// A base block header with the given version, everything else zero.
inline Block EmptyBase(uint8_t major = 1, uint8_t minor = 4) {
  Block b{};
  Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  b[18] = major;
  b[19] = minor;
  for (int i = 0; i < 8; ++i) Put(b, 38 + 2 * i, {0x01, 0x01});
  // Four dummy descriptors.
  for (int off : {54, 72, 90, 108}) b[static_cast<size_t>(off + 3)] = 0x10;
  edid_test::FixChecksum(b);
  return b;
}

// A real-looking E-EDID 1.4 base block of a digital DisplayPort monitor.
inline Block DigitalBase14() {
  Block b{};
  Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  Put(b, 8, {0x04, 0x43});                // "ABC"
  Put(b, 10, {0x34, 0x12});               // product 1234h
  Put(b, 12, {0x04, 0x03, 0x02, 0x01});   // serial 01020304h
  Put(b, 16, {10, 30});                   // week 10 of 2020
  Put(b, 18, {1, 4});
  Put(b, 20, {0xA5, 60, 34, 0x78, 0x0A});  // 8 bpc DisplayPort, 60 x 34 cm, gamma 2.2, RGB + YCrCb 4:4:4
  // sRGB primaries: red 0.640/0.330, green 0.300/0.600, blue 0.150/0.060, white 0.3127/0.3290.
  Put(b, 25, {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54});
  Put(b, 35, {0x21, 0x08, 0x00});          // 640x480@60, 800x600@60, 1024x768@60
  Put(b, 38, {0xD1, 0xC0, 0x81, 0x80, 0x81, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01});
  // 1920 x 1080p 148.5 MHz, 600 x 340 mm.
  Put(b, 54, {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x58, 0x54, 0x21, 0x00, 0x00,
              0x1E});
  // Range limits 56-76 Hz, 30-83 kHz, 170 MHz, default GTF.
  Put(b, 72, {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20,
              0x20});
  Put(b, 90, {0x00, 0x00, 0x00, 0xFC, 0x00});
  PutText(b, 95, "TEST MONITOR\n");
  Put(b, 108, {0x00, 0x00, 0x00, 0xFF, 0x00});
  PutText(b, 113, "SN123\n       ");
  edid_test::FixChecksum(b);
  return b;
}

// A real-looking E-EDID 1.3 base block of an analog monitor.
inline Block AnalogBase13() {
  Block b{};
  Put(b, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
  Put(b, 8, {0x4C, 0x2D});                 // "SAM"
  Put(b, 10, {0x21, 0x03});
  Put(b, 12, {0x00, 0x00, 0x00, 0x00});
  Put(b, 16, {0, 15});                     // week unspecified, 2005
  Put(b, 18, {1, 3});
  Put(b, 20, {0x0E, 34, 27, 0x78, 0xEA});  // analog, separate + composite sync, 34 x 27 cm, gamma 2.2
  Put(b, 25, {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54});
  Put(b, 35, {0xBD, 0xEF, 0x80});          // common established timings and 1152x870
  Put(b, 38, {0x81, 0x80, 0x71, 0x4F, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01});
  // 1280 x 1024p 108 MHz (DMT), 338 x 270 mm, digital separate sync positive.
  Put(b, 54, {0x30, 0x2A, 0x00, 0x98, 0x51, 0x00, 0x2A, 0x40, 0x30, 0x70, 0x13, 0x00, 0x52, 0x0E, 0x11, 0x00, 0x00,
              0x1E});
  // Range limits 56-75 Hz, 30-81 kHz, 140 MHz, secondary GTF.
  Put(b, 72, {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x51, 0x0E, 0x02, 0x00, 0x50, 0x51, 0x58, 0x02, 0x80,
              0x3C});
  Put(b, 90, {0x00, 0x00, 0x00, 0xFC, 0x00});
  PutText(b, 95, "SYNCMASTER\n  ");
  // Colour point: white point 1 at 0.313 / 0.329, gamma 2.2, no second point.
  Put(b, 108, {0x00, 0x00, 0x00, 0xFB, 0x00, 0x01, 0x01, 0x50, 0x54, 0x78, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x20,
               0x20});
  edid_test::FixChecksum(b);
  return b;
}

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
    const QString full = path.startsWith(QLatin1Char('/'))
                             ? QStringLiteral(":/%1%2").arg(block).arg(path)
                             : QStringLiteral(":/%1/Version/%2").arg(block).arg(path);
    ECEntry* e = collection_.Root()->FindEntry(full);
    EXPECT_NE(e, nullptr) << "no entry " << full.toStdString();
    return e;
  }
  bool Exists(const QString& path, int block = 0) {
    const QString full = path.startsWith(QLatin1Char('/'))
                             ? QStringLiteral(":/%1%2").arg(block).arg(path)
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
