// Golden tests on real E-EDID images (tests/data/edid/NNN.bin), for this build
// of the library: what loading an image gives (messages, the bytes the codecs
// normalise, the whole entry tree) against the checked-in expected text, and
// the round trip of the loaded image through a .BIN and an .ECD file.
// tools/gen_edid_golden rewrites the expected texts.

#include "EdidTreeText.h"

#include "edid/BuildOptions.h"
#include "edid/core/ECCollection.h"
#include "support/TextFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

using edid_golden::GoldenText;
using edid_golden::Instance;
using edid_golden::LoadChanges;
using edid_golden::TreeText;

namespace {

constexpr int kBlockBytes = 128;
// The images of tests/data/edid (see its README).
constexpr size_t kImageCount = 119;

const char* BuildName() { return edid_build::kSinkBuild ? "sink" : "cts"; }

QString DataDir() { return QStringLiteral(EDID_GOLDEN_DATA_DIR); }
QString ExpectedDir() { return DataDir() + QStringLiteral("/expected/") + QLatin1String(BuildName()); }
QString ImagePath(const std::string& name) {
    return DataDir() + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".bin");
}
QString ExpectedPath(const std::string& name) {
    return ExpectedDir() + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".txt");
}

// The base names of the files with the given suffix in a folder, sorted.
std::vector<std::string> BaseNames(const QString& dir, const QString& suffix) {
    std::vector<std::string> names;
    const QStringList files = QDir(dir).entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
    for (const QString& f : files) names.push_back(f.chopped(suffix.size()).toStdString());
    return names;
}

std::vector<std::string> ImageNames() { return BaseNames(DataDir(), QStringLiteral(".bin")); }

// "diff -u" of two texts (at most a few hundred lines of it), for a failure message.
std::string UnifiedDiff(const std::string& expected, const std::string& actual, const char* expectedLabel,
                        const char* actualLabel) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("expected")), b = dir.filePath(QStringLiteral("actual")),
                  out = dir.filePath(QStringLiteral("diff"));
    if (!dir.isValid() || !test_support::WriteFile(a.toStdString(), expected) ||
        !test_support::WriteFile(b.toStdString(), actual))
        return "(no diff: temporary files failed)";
    const std::string aPath = a.toStdString(), bPath = b.toStdString(), outPath = out.toStdString();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const char* argv[] = {"diff",      "-u",          "--label",     expectedLabel, "--label",
                          actualLabel, aPath.c_str(), bPath.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "diff", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) return "(no diff: diff could not be run)";
    std::string text = test_support::ReadFile(outPath);
    constexpr int kMaxLines = 300;
    size_t end = 0;  // just after the last line kept
    for (int line = 0; line < kMaxLines && end < text.size(); ++line) {
        const size_t newline = text.find('\n', end);
        end = newline == std::string::npos ? text.size() : newline + 1;
    }
    if (end < text.size()) {
        text.resize(end);
        text += "(diff cut short)\n";
    }
    return text;
}

// A text comparison whose failure message is the unified diff.
testing::AssertionResult SameText(const std::string& expected, const std::string& actual, const char* expectedLabel,
                                  const char* actualLabel) {
    if (expected == actual) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "texts differ:\n"
                                       << UnifiedDiff(expected, actual, expectedLabel, actualLabel);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// The block indices named by the load's "Blocks left out" warning, with their
// first bytes.
std::vector<std::pair<int, int>> LeftOut(const std::string& messages) {
    std::vector<std::pair<int, int>> out;
    const QString text = QString::fromStdString(messages);
    const qsizetype at = text.indexOf(QStringLiteral("Blocks left out (not supported): "));
    if (at < 0) return out;
    const QString line = text.mid(at).section(QLatin1Char('\n'), 0, 0);
    static const QRegularExpression item(QStringLiteral("(\\d+) \\(([0-9A-F]{2})h\\)"));
    for (const QRegularExpressionMatch& m : item.globalMatch(line))
        out.emplace_back(m.captured(1).toInt(), m.captured(2).toInt(nullptr, 16));
    return out;
}

// An image by its base name. Printed as the bare name, which ctest puts into
// the test's name (e.g. "cts.Images/EdidGolden.Load/042").
struct Image {
    std::string name;
};
void PrintTo(const Image& image, std::ostream* os) { *os << image.name; }

std::vector<Image> Images() {
    std::vector<Image> images;
    for (std::string& name : ImageNames()) images.push_back({std::move(name)});
    return images;
}

class EdidGolden : public testing::TestWithParam<Image> {};

}  // namespace

// Every image has its expected text in this build and no expected text is
// left over from an image that is gone.
TEST(EdidGoldenData, EveryImageHasItsExpectedText) {
    const std::vector<std::string> images = ImageNames();
    EXPECT_EQ(images.size(), kImageCount) << DataDir().toStdString();
    EXPECT_EQ(BaseNames(ExpectedDir(), QStringLiteral(".txt")), images) << ExpectedDir().toStdString();
}

// Loading the image gives the expected messages, normalised bytes and entry
// tree; the collection holds every block of the file that a codec of this
// build decodes, in file order, as the file has it before the codecs'
// normalisation (the blocks left out are all-zero ones and those the load
// names in its warning); and the extension flag of each base block is the
// number of blocks in the collection less one.
TEST_P(EdidGolden, Load) {
    const std::string& name = GetParam().name;
    bool readable = false;
    const std::string file = test_support::ReadFile(ImagePath(name).toStdString(), &readable);
    ASSERT_TRUE(readable);
    ASSERT_EQ(file.size() % kBlockBytes, 0u);

    Instance in;
    in.Load(ImagePath(name));
    const std::string expected = test_support::ReadFile(ExpectedPath(name).toStdString(), &readable);
    ASSERT_TRUE(readable) << ExpectedPath(name).toStdString() << " is missing: run tools/gen_edid_golden";
    EXPECT_TRUE(SameText(expected, GoldenText(in), "expected", "loaded"));

    const std::vector<std::pair<int, int>> leftOut = LeftOut(in.Messages());
    std::set<int> skipped;
    for (const auto& [index, tag] : leftOut) {
        ASSERT_LT(static_cast<size_t>(index) * kBlockBytes, file.size());
        EXPECT_EQ(static_cast<uint8_t>(file[static_cast<size_t>(index) * kBlockBytes]), tag) << "block " << index;
        skipped.insert(index);
    }
    std::vector<uint8_t> kept;
    for (size_t offset = 0; offset < file.size(); offset += kBlockBytes) {
        const std::string block = file.substr(offset, kBlockBytes);
        if (skipped.count(static_cast<int>(offset / kBlockBytes)) || block.find_first_not_of('\0') == std::string::npos)
            continue;
        kept.insert(kept.end(), block.begin(), block.end());
    }
    const ECCollection& c = in.Collection();
    std::vector<uint8_t> references;
    for (int32_t i = 0; i < c.Count(); ++i) {
        const ECRootParser* block = c.GetBlock(i);
        ASSERT_EQ(block->Length(), kBlockBytes);
        references.insert(references.end(), block->Reference(), block->Reference() + kBlockBytes);
        const uint8_t* bytes = block->Bytes();
        static const uint8_t kHeader[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        if (std::equal(std::begin(kHeader), std::end(kHeader), bytes)) {
            EXPECT_EQ(bytes[126], c.Count() - 1) << "extension flag of block " << i;
        }
    }
    EXPECT_EQ(references, kept);
}

// The loaded image saved as .BIN and as .ECD and loaded into a fresh instance
// gives the same bytes and the same entry tree, and that second load changes
// no byte: the codecs' normalisation on load is done once for all.
TEST_P(EdidGolden, FileRoundTrip) {
    const std::string& name = GetParam().name;
    Instance first;
    first.Load(ImagePath(name));
    const std::vector<uint8_t> image = first.Image();
    ASSERT_FALSE(image.empty());
    const std::string tree = TreeText(first.Collection());
    const std::string messages = first.Messages();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* extension : {".BIN", ".ECD"}) {
        SCOPED_TRACE(extension);
        const QString path = dir.filePath(QString::fromStdString(name) + QLatin1String(extension));
        first.Save(path);
        EXPECT_EQ(first.Messages(), messages) << "saving sent messages";
        bool readable = false;
        const std::string saved = test_support::ReadFile(path.toStdString(), &readable);
        ASSERT_TRUE(readable);
        if (std::string(extension) == ".BIN") {
            EXPECT_EQ(Bytes(saved), image);
        }

        Instance again;
        again.Load(path);
        EXPECT_EQ(again.Messages().find("Blocks left out"), std::string::npos) << again.Messages();
        EXPECT_EQ(again.Image(), image);
        EXPECT_EQ(LoadChanges(again.Collection()), "");
        EXPECT_TRUE(SameText(tree, TreeText(again.Collection()), "first load", "loaded again"));
    }
}

INSTANTIATE_TEST_SUITE_P(Images, EdidGolden, testing::ValuesIn(Images()),
                         [](const testing::TestParamInfo<Image>& info) { return info.param.name; });
