// Benchmark: time to load an .ECD file of 16, 64 and 256 blocks (a base
// block, block maps at 1 and 128, CEA-861 and DisplayID extensions) into a
// headless instance, and the time of one field set with its propagation on
// that collection. Then, in an editor window (offscreen): the load of a
// 256-block .BIN (a base block and 255 CEA-861 blocks) through "Load", the
// whole tree expanded, and the replacement by a 2-block file through "Load"
// again, each until the window has painted. Prints figures against the
// targets; it is not a test.
//
//   build/<dir>/bin/edid_load [repetitions]

#include "edid/ECLibrary.h"
#include "edid/ECPrimary.h"
#include "edid/editor/TECForm.h"
#include "edid/editor/TECFormInstance.h"
#include "platform/gui/FileDialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Block = std::array<uint8_t, 128>;
using Clock = std::chrono::steady_clock;

constexpr double kLoadTargetMs = 250.0;  // 256-block load
constexpr double kSetTargetMs = 1.0;     // one field set on that collection
// Replacing an expanded 256-block collection in the editor window.
constexpr double kReplaceTargetMs = 500.0;
constexpr double kReplaceToLoadRatio = 3.0;  // at most this many first loads

void FixChecksum(Block& b) {
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) sum += b[i];
    b[127] = static_cast<uint8_t>(0u - sum);
}

Block BaseBlock() {
    const uint8_t bytes[128] = {
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x10, 0xAC, 0x34, 0x12, 0x01, 0x00, 0x00, 0x00,  //
        0x0C, 0x1E, 0x01, 0x04, 0xA5, 0x35, 0x1E, 0x78, 0x3A, 0xEE, 0x95, 0xA3, 0x54, 0x4C, 0x99, 0x26,  //
        0x0F, 0x50, 0x54, 0xA5, 0x4B, 0x00, 0x71, 0x4F, 0x81, 0x80, 0xA9, 0xC0, 0xD1, 0xC0, 0x01, 0x01,  //
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C,  //
        0x45, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x31, 0x32, 0x33,  //
        0x34, 0x35, 0x36, 0x37, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0xFC, 0x00, 0x42,  //
        0x45, 0x4E, 0x43, 0x48, 0x20, 0x44, 0x50, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0xFD,  //
        0x00, 0x38, 0x4C, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x00};
    Block b{};
    std::copy(std::begin(bytes), std::end(bytes), b.begin());
    FixChecksum(b);
    return b;
}

// A CEA-861 block: video, audio, speaker allocation and HDMI vendor data
// blocks, then one detailed timing descriptor (1920x1080p 60 Hz).
Block CeaBlock() {
    const uint8_t head[] = {0x02, 0x03, 0x1A, 0xF1,                          // tag, revision, DTD offset, flags
                            0x47, 0x90, 0x04, 0x03, 0x05, 0x10, 0x1F, 0x20,  // video data block
                            0x23, 0x09, 0x07, 0x07,                          // audio data block
                            0x83, 0x01, 0x00, 0x00,                          // speaker allocation
                            0x65, 0x03, 0x0C, 0x00, 0x10, 0x00,              // HDMI vendor-specific
                            0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                            0x2C, 0x45, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E};
    Block b{};
    std::copy(std::begin(head), std::end(head), b.begin());
    FixChecksum(b);
    return b;
}

// A CEA-861 block with extended-tag data blocks (video capability,
// colorimetry), an HDMI VSDB with latencies, HDMI VICs and 3D entries, and two
// detailed timing descriptors.
Block CeaBlockExtended() {
    const uint8_t head[] = {0x02, 0x03, 0x26, 0x52,                          // tag, revision, DTD offset, flags
                            0xE2, 0x00, 0xC0,                                // video capability
                            0xE3, 0x05, 0x03, 0x01,                          // colorimetry
                            0x73, 0x03, 0x0C, 0x00, 0x10, 0x00, 0xB8, 0x44,  // HDMI VSDB: address, flags, TMDS,
                            0xA0, 0x0A, 0x0B,                                //   two latencies,
                            0xA0, 0x45, 0x01, 0x03, 0x00, 0x41,              //   HDMI VICs, 3D_Structure_ALL,
                            0x18, 0x10, 0x26,                                //   two 3D entries
                            0x42, 0x90, 0x04,                                // video data block
                            0x23, 0x09, 0x07, 0x07,                          // audio data block
                            0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00,
                            0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E, 0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0,
                            0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E};
    Block b{};
    std::copy(std::begin(head), std::end(head), b.begin());
    FixChecksum(b);
    return b;
}

Block DisplayIdBlock() {
    Block b{};
    const uint8_t head[] = {0x70, 0x12, 0x79, 0x00, 0x00};
    std::copy(std::begin(head), std::end(head), b.begin());
    FixChecksum(b);
    return b;
}

Block MapBlock() {
    Block b{};
    b[0] = 0xF0;
    FixChecksum(b);
    return b;
}

std::vector<Block> Image(int blocks) {
    std::vector<Block> image;
    for (int i = 0; i < blocks; ++i) {
        if (i == 0) image.push_back(BaseBlock());
        else if (i == 1 || i == 128) image.push_back(MapBlock());
        else image.push_back(i % 4 == 3 ? DisplayIdBlock() : i % 4 == 1 ? CeaBlockExtended() : CeaBlock());
    }
    return image;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double loadMs = 0;
    double setMs = 0;
    int loaded = 0;
    size_t hostMessages = 0;
};

size_t g_hostMessages = 0;

Figures Measure(const QString& file, int repetitions) {
    Figures f;
    std::vector<double> loads, sets;
    for (int r = 0; r < repetitions; ++r) {
        ECPrimary instance{ECPrimary::Headless{}};
        g_hostMessages = 0;
        instance.SetHostCallback(nullptr, [](void*, uint32_t, uint32_t, const char16_t*) { ++g_hostMessages; });
        const auto t0 = Clock::now();
        instance.LoadFile(file);
        loads.push_back(Ms(Clock::now() - t0));
        f.loaded = instance.Collection()->Count();
        f.hostMessages = g_hostMessages;

        ECEntry* field =
            instance.Collection()->Root()->FindEntry(QStringLiteral(":/0/*/Vendor & Product ID/ID Product Code"));
        if (!field) {
            std::fprintf(stderr, "the base block's \"ID Product Code\" entry was not found\n");
            std::exit(1);
        }
        for (int k = 0; k < 20; ++k) {
            const auto s0 = Clock::now();
            field->SetValue(ECVariant::OfInt(0x1000 + k));
            sets.push_back(Ms(Clock::now() - s0));
        }
    }
    f.loadMs = Median(loads);
    f.setMs = Median(sets);
    return f;
}

bool WriteBin(const QString& name, const std::vector<Block>& blocks) {
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return false;
    for (const Block& b : blocks) {
        if (file.write(reinterpret_cast<const char*>(b.data()), 128) != 128) return false;
    }
    return true;
}

struct EditorFigures {
    double loadMs = 0;     // 256 blocks into the empty editor, until painted
    double expandMs = 0;   // the whole tree expanded, until painted
    double replaceMs = 0;  // the 2-block file over the expanded tree, until painted
    int itemsExpanded = 0;
    int blocksLoaded = 0;
    int blocksAfter = 0;
};

// The editor window of a Vardeko-style instance, shown offscreen; every step
// goes through the window's "Load" button and ends when the window has
// processed its events and painted.
EditorFigures MeasureEditor(const QString& big, const QString& small) {
    EditorFigures f;
    ECHandle handle = ECCreate(static_cast<int32_t>(0x80000003u));
    TECForm* form = handle ? ECEditorFormOf(handle->Editor()) : nullptr;
    if (!form) {
        std::fprintf(stderr, "no editor window could be created\n");
        std::exit(1);
    }
    ECSetOptions(handle, 0x20000003u);
    const auto settle = [form] {
        QApplication::processEvents();
        form->repaint();
    };
    settle();
    QString answer;
    const auto previous = platform::SetFileDialogHook([&answer](QFileDialog&) { return answer; });
    const auto load = [&](const QString& name) {
        answer = name;
        const auto t0 = Clock::now();
        form->BTN_LoadBlocksClick();
        settle();
        return Ms(Clock::now() - t0);
    };

    f.loadMs = load(big);
    f.blocksLoaded = handle->Collection()->Count();
    const auto e0 = Clock::now();
    form->LV_EDID_tree->expandAll();
    settle();
    f.expandMs = Ms(Clock::now() - e0);
    for (QTreeWidgetItemIterator it(form->LV_EDID_tree); *it; ++it) f.itemsExpanded += (*it)->isExpanded() ? 1 : 0;
    f.replaceMs = load(small);
    f.blocksAfter = handle->Collection()->Count();

    platform::SetFileDialogHook(previous);
    ECDestroy(handle);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    std::printf("EDID load benchmark (headless instance, median of %d runs)\n", repetitions);
    std::printf("%8s %10s %12s %14s %10s\n", "blocks", "loaded", "load ms", "field set ms", "messages");
    Figures last;
    double previousLoad = 0;
    for (int blocks : {16, 64, 256}) {
        const QString file = dir.filePath(QStringLiteral("image%1.ecd").arg(blocks));
        {
            ECPrimary writer{ECPrimary::Headless{}};
            for (const Block& b : Image(blocks)) writer.AddBlock(b.data(), 128);
            writer.SaveFile(file);
        }
        last = Measure(file, repetitions);
        std::printf("%8d %10d %12.2f %14.4f %10zu", blocks, last.loaded, last.loadMs, last.setMs, last.hostMessages);
        if (previousLoad > 0) std::printf("   (load x%.1f for x4 blocks)", last.loadMs / previousLoad);
        std::printf("\n");
        previousLoad = last.loadMs;
    }
    std::printf("target: 256-block load under %.0f ms: %s (%.2f ms)\n", kLoadTargetMs,
                last.loadMs < kLoadTargetMs ? "met" : "MISSED", last.loadMs);
    std::printf("target: field set on 256 blocks under %.1f ms: %s (%.4f ms)\n", kSetTargetMs,
                last.setMs < kSetTargetMs ? "met" : "MISSED", last.setMs);

    // The editor case: a base block and 255 CEA-861 blocks, replaced by two.
    std::vector<Block> big{BaseBlock()};
    for (int i = 1; i < 256; ++i) big.push_back(i % 2 ? CeaBlockExtended() : CeaBlock());
    const QString bigFile = dir.filePath(QStringLiteral("image256.bin"));
    const QString smallFile = dir.filePath(QStringLiteral("image2.bin"));
    if (!WriteBin(bigFile, big) || !WriteBin(smallFile, {BaseBlock(), CeaBlock()})) return 1;
    const EditorFigures e = MeasureEditor(bigFile, smallFile);
    std::printf("\nEDID editor window (offscreen), each step until painted\n");
    const auto row = [](const QString& step, double ms) {
        std::printf("  %-34s %10.2f ms\n", step.toUtf8().constData(), ms);
    };
    row(QStringLiteral("load %1 blocks").arg(e.blocksLoaded), e.loadMs);
    row(QStringLiteral("expand all (%1 nodes open)").arg(e.itemsExpanded), e.expandMs);
    row(QStringLiteral("replace by %1 blocks").arg(e.blocksAfter), e.replaceMs);
    std::printf("  replacement / load: x%.2f\n", e.replaceMs / e.loadMs);
    const bool replaceMet = e.replaceMs < kReplaceTargetMs && e.replaceMs <= kReplaceToLoadRatio * e.loadMs;
    std::printf("target: replacement of the expanded tree under %.0f ms and within %.0f x the load: %s (%.2f ms)\n",
                kReplaceTargetMs, kReplaceToLoadRatio, replaceMet ? "met" : "MISSED", e.replaceMs);
    return 0;
}
