// .ECD and .BIN files: the hex-dump grammar, the written text, round trips
// byte for byte, and every file error text.

#include "edid/BuildOptions.h"
#include "edid/ECFiles.h"
#include "edid/ECPrimary.h"
#include "edid/EdidTestSupport.h"
#include "support/TextFile.h"
#include "support/TrapFifo.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>

using namespace edid_test;

namespace {

std::vector<uint8_t> Read(const char* text) {
    ec_files::HexDump d = ec_files::ReadHexDump(text, static_cast<int64_t>(std::strlen(text)));
    return std::vector<uint8_t>(d.bytes.begin(), d.bytes.begin() + (d.nibbles + 1) / 2);
}

struct Message {
    uint32_t kind;
    QString text;
    bool operator==(const Message& o) const { return kind == o.kind && text == o.text; }
};
void PrintTo(const Message& m, std::ostream* os) { *os << std::hex << m.kind << " " << m.text.toStdString(); }

// A headless instance whose file messages are collected.
struct Instance {
    ECPrimary p{ECPrimary::Headless{}};
    std::vector<Message> messages;
    QTemporaryDir dir;
    Instance() {
        p.SetHostCallback(this, [](void* owner, uint32_t code, uint32_t number, const char16_t* text) {
            // The file operation's own messages: file errors, and warnings without
            // the level prefix that codec warnings carry.
            const QString t = text ? QString::fromUtf16(text) : QString();
            if (code == EC_HOST_MESSAGE && (number == EC_MSG_FILE_ERROR ||
                                            (number == EC_MSG_WARNING && !t.startsWith(QStringLiteral("Warning: ")))))
                static_cast<Instance*>(owner)->messages.push_back({number, t});
        });
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void Write(const char* name, const QByteArray& content) const {
        ASSERT_TRUE(test_support::WriteFile(Path(name).toStdString(), content.toStdString()));
    }
    QByteArray ReadFile(const char* name) const {
        bool readable = false;
        const std::string bytes = test_support::ReadFile(Path(name).toStdString(), &readable);
        EXPECT_TRUE(readable) << name;
        return QByteArray::fromStdString(bytes);
    }
    void Load(const char* name) { p.LoadFile(Path(name)); }
    void Save(const char* name) { p.SaveFile(Path(name)); }
    int Count() const { return p.Collection()->Count(); }
    QByteArray Image() const {
        QByteArray out;
        for (int i = 0; i < Count(); ++i)
            out.append(reinterpret_cast<const char*>(p.Collection()->GetBlock(i)->Bytes()), 128);
        return out;
    }
    void Add(const Block& b) { ASSERT_GE(p.AddBlock(b.data(), 128), 0); }
};

QByteArray Raw(std::initializer_list<Block> blocks) {
    QByteArray out;
    for (const Block& b : blocks) out.append(reinterpret_cast<const char*>(b.data()), 128);
    return out;
}

Block Filler() { return edid_build::kHasDisplayID ? TaggedBlock(0x70, {{4, 0x99}}) : TaggedBlock(0xF0); }

const Message kSizeError200{EC_MSG_FILE_ERROR,
                            QStringLiteral("Error: Loaded 200 bytes, but Loadsize must be a multiple of 128 bytes")};

}  // namespace

TEST(HexDump, Grammar) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"01 02 ab CD", {0x01, 0x02, 0xAB, 0xCD}},
        {"0x12 0X34", {0x12, 0x34}},  // both prefixes vanish
        {"00x1", {0x01}},             // the "0" before "x" is no nibble
        {"0x", {}},
        {"; 1234 ab\r\n56", {0x56}},  // a comment line adds nothing
        {"// 1234\n78", {0x78}},
        {"/ab", {0xAB}},        // one slash is no comment
        {"$12 34", {0x34}},     // the line offset is skipped
        {"$1\n23", {0x23}},     // a line end ends the skipping
        {"$ - 0a", {}},         // "$" skips the next two digits wherever they are
        {"zz g1h2 x", {0x12}},  // other characters are ignored
        {"12;34\n56//78\r9a", {0x12, 0x56, 0x9A}},
        {"abc", {0xAB, 0xC0}},  // an odd nibble fills the high half
    };
    for (const Case& c : cases) EXPECT_EQ(Read(c.text), c.bytes) << c.text;

    std::string longText(65537, 'f');
    ec_files::HexDump d = ec_files::ReadHexDump(longText.data(), static_cast<int64_t>(longText.size()));
    EXPECT_TRUE(d.tooLong);
    EXPECT_EQ(d.nibbles, 65537);
    std::string exact(65536, 'e');
    d = ec_files::ReadHexDump(exact.data(), static_cast<int64_t>(exact.size()));
    EXPECT_FALSE(d.tooLong);
    EXPECT_EQ(d.nibbles, 65536);
}

TEST(EcdFile, WrittenTextIsExact) {
    Instance in;
    Block map = TaggedBlock(0xF0, {{1, 0xAB}, {9, 0x5C}});
    in.Add(map);
    in.Save("one.ecd");
    const uint8_t* b = in.p.Collection()->GetBlock(0)->Bytes();
    QByteArray expected(";Created with Merovan EDID Editor library\r\n\r\n;0 - Block 0 [VESA BME]:\r\n");
    for (int line = 0; line < 16; ++line) {
        const uint8_t* d = b + line * 8;
        expected += QString::asprintf("$%.2x - %.2x %.2x %.2x %.2x  %.2x %.2x %.2x %.2x\r\n", line * 8, d[0], d[1],
                                      d[2], d[3], d[4], d[5], d[6], d[7])
                        .toLatin1();
    }
    expected += "\r\n;End of file\r\n";
    EXPECT_EQ(in.ReadFile("one.ecd"), expected);
    EXPECT_TRUE(expected.contains("$00 - f0 ab 00 00  00 00 00 00\r\n$08 - 00 5c 00"));
}

TEST(EcdFile, RoundTripsByteForByte) {
    Instance in;
    in.Add(Filler());
    in.Add(TaggedBlock(0xF0));
    in.Add(Filler());
    const QByteArray image = in.Image();
    for (const char* name : {"image.ecd", "IMAGE.ECD", "noext", "image.bin", "IMAGE.Bin"}) {
        SCOPED_TRACE(name);
        in.Save(name);
        in.p.ClearBlocks();
        in.Load(name);
        EXPECT_EQ(in.Count(), 3);
        EXPECT_EQ(in.Image(), image);
        EXPECT_TRUE(in.messages.empty());
    }
    EXPECT_EQ(in.ReadFile("image.bin"), image);
    EXPECT_EQ(in.ReadFile("IMAGE.Bin"), image);
    EXPECT_TRUE(in.ReadFile("noext").startsWith(";Created with"));
    if (edid_build::kHasDisplayID) {
        EXPECT_TRUE(in.ReadFile("image.ecd").contains(";2 - Block 2 [VESA DisplayID]:\r\n"));
    }
}

TEST(EcdFile, UnknownExtensionWarnsThenReadsAsHexDump) {
    Instance in;
    in.Add(TaggedBlock(0xF0));
    in.Save("dump.txt");  // any extension but .bin is the .ECD text
    EXPECT_TRUE(in.ReadFile("dump.txt").startsWith(";Created with"));
    in.p.ClearBlocks();
    in.Load("dump.txt");
    EXPECT_EQ(in.Count(), 1);
    EXPECT_EQ(in.messages,
              (std::vector<Message>{{EC_MSG_WARNING, QStringLiteral("Unknown file extension - Trying as hex-dump")}}));
}

TEST(Files, LoadErrorsLeaveTheCollectionUnchanged) {
    struct Case {
        const char* name;
        QByteArray content;
        std::vector<Message> expected;
    };
    const Block map = TaggedBlock(0xF0);
    const QByteArray twoHundred = Raw({map}).append(QByteArray(72, '\x01'));
    const Case cases[] = {
        {"short.bin", twoHundred, {kSizeError200}},
        {"odd.ecd",
         QByteArray("f0 01 02"),
         {{EC_MSG_FILE_ERROR, QStringLiteral("Error: Loaded 3 bytes, but Loadsize must be a multiple of 128 bytes")}}},
        {"big.bin",
         QByteArray(32896, '\x02'),
         {{EC_MSG_FILE_ERROR, QStringLiteral("Too many blocks - E-EDID Can contain a maximum of 255 blocks!")}}},
        {"long.ecd",
         QByteArray(65540, 'f'),
         {{EC_MSG_FILE_ERROR, QStringLiteral("More than 255 blocks.")},
          {EC_MSG_FILE_ERROR,
           QStringLiteral("Error: Loaded 32768 bytes, but Loadsize must be a multiple of 128 bytes")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Instance in;
        in.Add(TaggedBlock(0xF0));
        const QByteArray before = in.Image();
        in.Write(c.name, c.content);
        in.Load(c.name);
        EXPECT_EQ(in.messages, c.expected);
        EXPECT_EQ(in.Image(), before);
    }
    Instance in;
    in.Load("does-not-exist.ecd");
    in.p.LoadFile(in.dir.path());                                    // a folder is no file
    in.p.LoadFile(QStringLiteral("/dev/zero"));                      // a device that never ends is refused, not read
    test_support::TrapFifo fifo(in.Path("fifo.ecd").toStdString());  // an open would wait for a writer
    ASSERT_TRUE(fifo.Made());
    in.Load("fifo.ecd");
    const Message failed{EC_MSG_FILE_ERROR, QStringLiteral("Failed to open file")};
    EXPECT_EQ(in.messages, (std::vector<Message>{failed, failed, failed, failed}));
    EXPECT_FALSE(fifo.Released()) << "the FIFO was opened";
}

TEST(Files, SizeLimits) {
    Instance in;
    // 256 blocks of .BIN are accepted.
    QByteArray full;
    for (int i = 0; i < 256; ++i) full += Raw({i == 1 ? TaggedBlock(0xF0) : Filler()});
    in.Write("full.bin", full);
    in.Load("full.bin");
    EXPECT_TRUE(in.messages.empty());
    EXPECT_EQ(in.Count(), 256);
    // ... and saved and loaded back as .ECD (about 139,000 bytes of text).
    in.Save("full.ecd");
    EXPECT_GT(in.ReadFile("full.ecd").size(), 130000);
    const QByteArray image = in.Image();
    in.p.ClearBlocks();
    in.Load("full.ecd");
    EXPECT_TRUE(in.messages.empty());
    EXPECT_EQ(in.Image(), image);

    // A text file above 16 MiB is refused before it is read.
    QFile huge(in.Path("huge.ecd"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(ec_files::kMaxTextFileBytes + 1));
    huge.close();
    in.Load("huge.ecd");
    EXPECT_EQ(in.messages,
              (std::vector<Message>{{EC_MSG_FILE_ERROR, QStringLiteral("Unable to allocate loader resources")}}));
    EXPECT_EQ(in.Count(), 256);
}

TEST(Files, EmptyZeroAndUnsupportedBlocks) {
    Instance in;
    in.Add(TaggedBlock(0xF0));
    in.Write("empty.bin", QByteArray());
    in.Load("empty.bin");
    EXPECT_EQ(in.Count(), 0);
    in.Add(TaggedBlock(0xF0));
    in.Write("empty.ecd", QByteArray("; only a comment 1234\r\n"));
    in.Load("empty.ecd");
    EXPECT_EQ(in.Count(), 0);
    EXPECT_TRUE(in.messages.empty());

    // An all-zero block is left out silently; the next one moves up.
    const Block zero{};
    const Block second = TaggedBlock(0xF0, {{1, 0x11}});
    in.Write("gap.bin", Raw({TaggedBlock(0xF0), zero, second}));
    in.Load("gap.bin");
    ASSERT_EQ(in.Count(), 2);
    EXPECT_EQ(in.p.Collection()->GetBlock(1)->Bytes()[0], 0xF0);
    EXPECT_TRUE(in.messages.empty());

    // Blocks that no codec takes are left out with one warning.
    const Block unknown = TaggedBlock(0x10);
    const Block displayId = TaggedBlock(0x70);
    in.Write("mixed.bin", Raw({TaggedBlock(0xF0), unknown, zero, displayId, TaggedBlock(0xF0)}));
    in.Load("mixed.bin");
    if (edid_build::kHasDisplayID) {
        EXPECT_EQ(in.Count(), 3);
        EXPECT_EQ(in.messages,
                  (std::vector<Message>{{EC_MSG_WARNING, QStringLiteral("Blocks left out (not supported): 1 (10h)")}}));
    } else {
        EXPECT_EQ(in.Count(), 2);
        EXPECT_EQ(in.messages,
                  (std::vector<Message>{
                      {EC_MSG_WARNING, QStringLiteral("Blocks left out (not supported): 1 (10h), 3 (70h)")}}));
    }
}

TEST(Files, SaveReplacesAtomicallyAndReportsFailure) {
    Instance in;
    in.Add(TaggedBlock(0xF0));
    in.Write("old.bin", QByteArray(1024, '\x07'));  // longer than what replaces it
    in.Save("old.bin");
    EXPECT_EQ(in.ReadFile("old.bin"), in.Image());
    EXPECT_EQ(QDir(in.dir.path()).entryList(QDir::Files), QStringList{"old.bin"});  // no temporary file left

    in.p.SaveFile(in.dir.filePath(QStringLiteral("no-such-folder/x.ecd")));
    const Message failed{EC_MSG_FILE_ERROR, QStringLiteral("Unable to create save file")};
    EXPECT_EQ(in.messages, (std::vector<Message>{failed}));

    // A FIFO of the name is not replaced by the file, in either format.
    for (const char* name : {"fifo.ecd", "fifo.bin"}) {
        SCOPED_TRACE(name);
        in.messages.clear();
        test_support::TrapFifo fifo(in.Path(name).toStdString());
        ASSERT_TRUE(fifo.Made());
        in.Save(name);
        EXPECT_EQ(in.messages, (std::vector<Message>{failed}));
        EXPECT_TRUE(fifo.StillAFifo());
        EXPECT_FALSE(fifo.Released());
    }
}

// A save whose writing fails half-way (here: the process may write no file
// larger than 4 KiB, as on a full disk) reports the failure and leaves the
// old file exactly as it was, with no temporary file beside it.
TEST(Files, FailedWriteKeepsTheOldFile) {
    Instance in;
    for (int i = 0; i < 40; ++i) in.Add(Filler());  // 5,120 bytes as .BIN, about 21,800 as .ECD
    const QByteArray old(100, '\x07');
    in.Write("keep.ecd", old);
    in.Write("keep.bin", old);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not a signal
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    in.Save("keep.ecd");
    in.Save("keep.bin");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    const Message failed{EC_MSG_FILE_ERROR, QStringLiteral("Unable to create save file")};
    EXPECT_EQ(in.messages, (std::vector<Message>{failed, failed}));
    EXPECT_EQ(in.ReadFile("keep.ecd"), old);
    EXPECT_EQ(in.ReadFile("keep.bin"), old);
    EXPECT_EQ(QDir(in.dir.path()).entryList(QDir::Files), (QStringList{"keep.bin", "keep.ecd"}));
}
