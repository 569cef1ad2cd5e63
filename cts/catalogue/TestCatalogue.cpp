#include "cts/catalogue/TestCatalogue.h"

#include <QString>

namespace {

const char* const kLinkLayerTests[] = {
    "(4.2.1.1) Source DUT Retry on No-Reply During Aux Read after Hot Plug Event",
    "(4.2.1.2) Source Retry on Invalid Reply During Aux Read after Hot Plug Event",
    "(4.2.2.1) EDID Read upon Hot Plug Event",
    "(4.2.2.2) DPCD Receiver Capability Read upon Hot Plug Event",
    "(4.2.2.3) EDID Read",
    "(4.2.2.4) EDID Read failure #1: I2C-Over-AUX NACK",
    "(4.2.2.5) EDID Read failure #2: I2C-Over-AUX DEFER",
    "(4.2.2.6) EDID Corruption Detection",
    "(4.2.2.7) Branch Device Detection upon HPD Plug Event",
    "(4.2.2.8) EDID read on IRQ_HPD event after Branch Device detection",
    "(4.2.2.9) E-DDC Four Block EDID Read",
    "(4.3.1.1) Successful Link Training Upon HPD Plug Event",
    "(4.3.1.2) Successful Link Training at All Supported Lane Counts and Link Speeds",
    "(4.3.1.3) Successful Link Training with Request of Higher Differential Voltage Swing During Clock Recovery "
    "Sequence",
    "(4.3.1.4) Successful Link Training to a Lower Link Rate #1: Iterate at Maximum Voltage Swing",
    "(4.3.1.5) Successful Link Training to a Lower Link Rate #2: Iterate at Minimum Voltage Swing",
    "(4.3.1.6) Successful Link Training with Request of a Higher Pre-emphasis Setting During Channel Equalization "
    "Sequence",
    "(4.3.1.7) Successful Link Training at Lower Link Rate due to Loss of Symbol Lock During Channel Equalization "
    "Sequence",
    "(4.3.1.8) Unsuccessful Link Training at Lower Link Rate #1: Iterate at Maximum Voltage Swing",
    "(4.3.1.9) Unsuccessful Link Training at Lower Link Rate #2: Iterate at Minimum Voltage Swing",
    "(4.3.1.10) Unsuccessful Link Training due to Failure in Channel Equalization Sequence (loop count > 5)",
    "(4.3.2.1) Successful Link Re-training After IRQ HPD Pulse Due to Loss of Symbol Lock",
    "(4.3.2.2) Successful Link Re-training After IRQ HPD Pulse Due to Loss of Clock Recovery Lock",
    "(4.3.2.3) Successful Link Re-training After IRQ HPD Pulse Due to Loss of Inter-lane Alignment Lock",
    "(4.3.2.4) Handling of IRQ HPD Pulse With No Error Status Bits Set",
    "(4.3.2.5) Lane Count Reduction",
    "(4.3.2.6) Lane Count Increase",
    "(4.3.3.1) Video Time Stamp Generation",
    "(4.4.1.1) Pixel Data Packing and Steering",
    "(4.4.1.2) Main Stream Data Packing and Stuffing \x96"
    " Least Packed TU",
    "(4.4.1.3) Main Stream Data Packing and Stuffing \x96"
    " Most Packed TU",
    "(4.4.2) Main Video Stream Format Change Handling",
    "(4.4.3) Power Management",
    "(7.1.1.1) Additional DPCD Handling Test 1",
    "(7.1.1.2) Additional DPCD Handling Test 2",
};

const char* const kAudioTests[] = {
    "(4.4.4.2) Audio Stream Header Synchronization",
    "(4.4.4.3) Audio Time Stamp Generation",
    "(4.4.4.4) Audio InfoFrame Packet",
    "(4.4.4.5) Audio Stream Transmission",
    "(4.4.4.6) Audio Start Sequence",
};

const char* const kHdcpTransmitterTests[] = {
    "(1A-01) Regular Procedure: With Receiver",
    "(1A-02) Regular Procedure: HPD After Writing Aksv",
    "(1A-03) Regular Procedure: HPD During Link Integrity Check Stage",
    "(1A-04) Irregular Procedure: (First Part of Authentication) Failure to Read Bcaps HDCP_CAPABLE Bit",
    "(1A-05) Irregular Procedure: (First Part of Authentication) Verify Bksv",
    "(1A-06) Irregular Procedure: (First Part of Authentication) Verify R0\x92",
    "(1A-07) Irregular Procedure: (Link Integrity Check) Link Integrity Failure",
    "(1A-08) Irregular Procedure: SRM",
    "(1A-09) Regular Procedure: Encryption Disable Bootstrapping",
    "(1B-01) Regular Procedure: With Repeater",
    "(1B-02) Irregular Procedure: Spurious CP_IRQ Interrupt",
    "(1B-03) Regular Procedure: HPD After Reading R0'",
    "(1B-04) Irregular Procedure: (Second part of Authentication) Timeout of KSV List READY",
    "(1B-05) Irregular Procedure: (Second part of Authentication) Verify V'",
    "(1B-06) Irregular Procedure: (Second part of Authentication) MAX_DEVS_EXCEEDED",
    "(1B-07) Irregular Procedure: (Second part of Authentication) MAX_CASCADE_EXCEEDED",
};

const char* const kHdcpRepeaterTests[] = {
    "(3A-01) Regular Procedure: With Receiver",
    "(3A-02) Irregular Procedure: (First part of Authentication) Failure to Read Bcaps HDCP_CAPABLE Bit",
    "(3A-03) Irregular Procedure: (First part of Authentication) Verify Bksv",
    "(3A-04) Irregular Procedure: (First part of Authentication) Verify R0'",
    "(3B-01) Regular Procedure: With Repeater",
    "(3B-02) Irregular Procedure: (Second part of Authentication) Timeout of KSV List READY",
    "(3B-03) Irregular Procedure: (Second part of Authentication) Verify V'",
    "(3B-04) Irregular Procedure: (Second part of Authentication) MAX_DEVS_EXCEEDED",
    "(3B-05) Irregular Procedure: (Second part of Authentication) MAX_CASCADE_EXCEEDED",
};

const std::array<TestGroup, 4> kGroups = {{
    {"Link Layer Tests", TestCatalogue::kLinkLayerOffset, "PNL_DUTCaps_SourceTest", kLinkLayerTests},
    {"Audio Tests", TestCatalogue::kAudioOffset, "PNL_AudioDutCaps", kAudioTests},
    {"HDCP Tests (for Transmitters)", TestCatalogue::kHdcpTransmitterOffset, "PNL_DUTCaps_HDCPTest",
     kHdcpTransmitterTests},
    {"HDCP Tests (for Repeaters)", TestCatalogue::kHdcpRepeaterOffset, "PNL_DUTCaps_HDCPTest", kHdcpRepeaterTests},
}};

static_assert(std::size(kLinkLayerTests) + std::size(kAudioTests) + std::size(kHdcpTransmitterTests) +
                  std::size(kHdcpRepeaterTests) ==
              TestCatalogue::kTestCount);

}  // namespace

const std::array<TestGroup, 4>& TestCatalogue::Groups() { return kGroups; }

const TestGroup* TestCatalogue::GroupByCaption(const QString& caption) {
    for (const TestGroup& group : kGroups) {
        if (caption == QLatin1String(group.caption)) return &group;
    }
    return nullptr;
}

const TestGroup* TestCatalogue::GroupOfTest(int32_t testId) {
    for (const TestGroup& group : kGroups) {
        if (testId > group.idOffset && testId <= group.idOffset + group.TestCount()) return &group;
    }
    return nullptr;
}

const char* TestCatalogue::TestName(int32_t testId) {
    const TestGroup* group = GroupOfTest(testId);
    return group ? group->names[static_cast<size_t>(testId - group->idOffset - 1)] : nullptr;
}

int TestCatalogue::ConnectionImageIndex(int32_t testId) {
    if (testId >= 129 && testId <= 137) return 0;
    if (testId >= 138 && testId <= 144) return 1;
    if (testId >= 145 && testId <= 148) return 2;
    if (testId >= 149 && testId <= 153) return 3;
    return -1;
}
