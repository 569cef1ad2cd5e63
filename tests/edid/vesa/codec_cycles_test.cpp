// Every settable entry of every tree the base-block codecs build (both
// structure versions, analog and digital input, every descriptor type in
// every slot), and of the block maps beside them (at index 1 and at an index
// that maps nothing), is written once the way the editor writes it: no write
// may raise the self-dependency exception, run into the engine's iteration
// limit or leave a checksum, the extension count or the block map wrong.

#include "edid/CodecTestSupport.h"

#include <cstring>
#include <functional>

namespace {

using codec_test::Block;
using codec_test::Put;

const char* const kIterationLimit =
    "Dependency iteration count has exceeded 1000 iterations! Probable cause is looped dependency.";

std::vector<std::vector<uint8_t>> DescriptorKinds() {
  return {
      {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x58, 0x54, 0x21, 0x00, 0x00, 0x1E},
      {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12},
      {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x00, 0x00, 0x00, 0x08, 0x08, 0x6E},
      {0, 0, 0, 0xFF, 0, 'S', 'N', '1', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0, 0, 0, 0xFE, 0, 'D', 'A', 'T', 'A', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0, 0, 0, 0xFC, 0, 'N', 'A', 'M', 'E', 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0, 0, 0, 0xFD, 0x0F, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x01, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20},
      {0, 0, 0, 0xFD, 0x02, 0x38, 0x4B, 0x1E, 0x51, 0x0E, 0x02, 0x00, 0x50, 0x51, 0x58, 0x02, 0x80, 0x3C},
      {0, 0, 0, 0xFD, 0x0A, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x04, 0x11, 0x00, 0xF0, 0xC8, 0x38, 0xF0, 0x3C},
      {0, 0, 0, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0, 0, 0, 0xFB, 0, 0x01, 0x01, 0x50, 0x54, 0x78, 0x00, 0, 0, 0, 0, 0x0A, 0x20, 0x20},
      {0, 0, 0, 0xFB, 0, 0x01, 0x01, 0x50, 0x54, 0x78, 0x02, 0x05, 0x50, 0x54, 0x78, 0x0A, 0x20, 0x20},
      {0, 0, 0, 0xFA, 0, 0xD1, 0xC0, 0x81, 0x80, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x0A},
      {0, 0, 0, 0xF9}, {0, 0, 0, 0xF8}, {0, 0, 0, 0xF7}, {0, 0, 0, 0x10}, {0, 0, 0, 0x05}, {0, 0, 0, 0x80},
  };
}

Block WithDescriptors(Block base, const std::vector<uint8_t>& descriptor) {
  for (int at : {54, 72, 90, 108}) std::memcpy(base.data() + at, descriptor.data(), descriptor.size());
  edid_test::FixChecksum(base);
  return base;
}

Block Patched(Block b, std::initializer_list<std::pair<int, uint8_t>> bytes) {
  for (auto [at, v] : bytes) b[static_cast<size_t>(at)] = v;
  edid_test::FixChecksum(b);
  return b;
}

std::vector<std::pair<std::string, Block>> Trees() {
  std::vector<std::pair<std::string, Block>> out;
  const Block digital14 = codec_test::DigitalBase14();
  const Block analog13 = codec_test::AnalogBase13();
  out.emplace_back("digital 1.4", digital14);
  out.emplace_back("analog 1.3", analog13);
  out.emplace_back("digital 1.3", Patched(analog13, {{20, 0x81}}));
  out.emplace_back("analog 1.4 model year aspect", Patched(digital14, {{20, 0x0F}, {16, 0xFF}, {21, 0}, {22, 79}}));
  out.emplace_back("1.3 aspect", Patched(analog13, {{21, 79}, {22, 0}, {23, 0xFF}}));
  out.emplace_back("major 2", codec_test::EmptyBase(2, 0));
  out.emplace_back("1.2", codec_test::EmptyBase(1, 2));
  out.emplace_back("1.7", codec_test::EmptyBase(1, 7));
  const auto kinds = DescriptorKinds();
  for (size_t k = 0; k < kinds.size(); ++k) {
    out.emplace_back("1.4 descriptors " + std::to_string(k), WithDescriptors(digital14, kinds[k]));
    out.emplace_back("1.3 descriptors " + std::to_string(k), WithDescriptors(analog13, kinds[k]));
  }
  return out;
}

void CollectPaths(ECEntry* e, QStringList& out) {
  out << e->GetPath();
  for (int i = 0; i < e->ChildCount(); ++i) CollectPaths(e->GetChild(i), out);
}

class CodecCycles : public codec_test::CodecFixture {
 protected:
  // Writes every settable entry below the block root once; returns how many.
  int WriteEverything(const std::string& label) {
    QStringList paths;
    for (const char* root : {":/0", ":/1", ":/3"}) {
      CollectPaths(collection_.Root()->FindEntry(QString::fromLatin1(root)), paths);
    }
    paths << QStringLiteral(":/Blocks in collection");
    int written = 0;
    for (const QString& path : paths) {
      ECEntry* e = collection_.Root()->FindEntry(path);
      if (!e) continue;  // rebuilt away by an earlier write
      const uint32_t type = e->GetFlags() & ECT_TYPE_MASK;
      if ((e->GetFlags() & ECT_READ_ONLY) || type == ECT_NONE || type == ECT_GROUP) continue;
      try {
        Apply(e, e->GetValue());
        ++written;
      } catch (const ECException& ex) {
        ADD_FAILURE() << label << ": " << path.toStdString() << ": " << ex.what();
      }
      EXPECT_FALSE(log_.Texts(EC_LEVEL_ERROR).contains(QString::fromLatin1(kIterationLimit)))
          << label << ": " << path.toStdString();
      for (int block = 0; block < kBlocks; ++block) {
        EXPECT_TRUE(edid_test::ChecksumGood(Bytes(block)))
            << label << ": " << path.toStdString() << ", block " << block;
      }
      if (collection_.Root()->FindEntry(QStringLiteral(":/0/Version/Extension flag"))) {
        EXPECT_EQ(Byte(126), kBlocks - 1) << label << ": " << path.toStdString();
      }
      // The map at index 1 names blocks 2 and 3; the one at index 3 keeps its bytes.
      EXPECT_EQ(Range(1, 3, 1), (std::vector<uint8_t>{0x00, 0xF0, 0x00})) << label << ": " << path.toStdString();
      EXPECT_EQ(Range(1, 2, 3), (std::vector<uint8_t>{0x02, 0x40})) << label << ": " << path.toStdString();
    }
    return written;
  }

  static constexpr int kBlocks = 4;
};

TEST_F(CodecCycles, NoWriteOfAnyTreeLoopsOrBreaksTheChecksum) {
  int total = 0;
  for (const auto& [label, block] : Trees()) {
    collection_.Clear();
    ClearLog();
    ASSERT_EQ(Add(block), 0) << label;
    ASSERT_EQ(Add(edid_test::TaggedBlock(0xF0)), 1) << label;
    ASSERT_EQ(Add(codec_test::EmptyBase()), 2) << label;
    ASSERT_EQ(Add(edid_test::TaggedBlock(0xF0, {{1, 0x02}, {2, 0x40}})), 3) << label;
    total += WriteEverything(label);
  }
  // Each tree has tens of settable entries; the walk must really have written them.
  EXPECT_GT(total, 1000);
}

}  // namespace
