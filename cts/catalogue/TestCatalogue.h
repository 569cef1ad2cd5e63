#pragma once
// The fixed catalogue of the 65 tests the instrument runs, in four groups,
// one page of the main window's tab control each.
//
// Test ID = the group's ID offset + the row number (from 1, catalogue order).
// The names are 8-bit Windows-1252 texts as the instrument's documents spell
// them: IDs 30 and 31 hold an en dash (0x96), ID 134 a right single quotation
// mark (0x92); convert with platform::FromWindows1252 to show them.
#include <array>
#include <cstdint>
#include <span>

class QString;

struct TestGroup {
    const char* caption;    // the page's tab caption
    int32_t idOffset;       // test ID of row 1 is idOffset + 1
    const char* sidePanel;  // object name of the panel shown beside the list
    std::span<const char* const> names;

    int32_t TestCount() const { return static_cast<int32_t>(names.size()); }
    // The test ID of a row counted from 1.
    int32_t TestId(int32_t row) const { return idOffset + row; }
};

class TestCatalogue {
public:
    static constexpr int32_t kTestCount = 65;
    // Groups in the order of Groups().
    enum Group { kLinkLayer = 0, kAudio = 1, kHdcpTransmitter = 2, kHdcpRepeater = 3 };

    static constexpr int32_t kLinkLayerOffset = 0;
    static constexpr int32_t kAudioOffset = 64;
    static constexpr int32_t kHdcpTransmitterOffset = 128;
    static constexpr int32_t kHdcpRepeaterOffset = 144;

    // The test whose run needs the video time-stamp configuration first, and
    // those that need the colorimetry list first.
    static constexpr int32_t kVideoTimeStampTest = 28;
    static bool NeedsTimeStampConfig(int32_t testId) { return testId == kVideoTimeStampTest; }
    static bool NeedsColorimetry(int32_t testId) { return testId == 29 || testId == 30; }

    static const std::array<TestGroup, 4>& Groups();
    // The group of a tab caption; nullptr for the other pages ("Link
    // Training", "E-EDID") and unknown captions.
    static const TestGroup* GroupByCaption(const QString& caption);
    // The group a test ID belongs to; nullptr for an unused ID.
    static const TestGroup* GroupOfTest(int32_t testId);
    // The catalogue name of a test ID (8-bit); nullptr for an unused ID.
    static const char* TestName(int32_t testId);

    // The connection diagram of the HDCP side panel for a test ID: 0 for a
    // transmitter with a receiver (129-137), 1 with a repeater (138-144),
    // 2 and 3 for the repeater set-ups (145-148, 149-153), -1 for none.
    static int ConnectionImageIndex(int32_t testId);
};
