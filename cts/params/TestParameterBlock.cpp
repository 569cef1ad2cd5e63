#include "cts/params/TestParameterBlock.h"

namespace {

uint8_t Bit(bool set, int bit) { return set ? static_cast<uint8_t>(1u << bit) : 0; }

void PutHighFirst(std::array<uint8_t, TestParameterBlock::kSize>& block, size_t at, int32_t value) {
    block[at] = static_cast<uint8_t>((value >> 8) & 0xFF);
    block[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

int32_t TestParameterBlock::ExtraTimeout100ms(const TestParameterInputs& in) {
    return in.hdcpPage ? in.authenticationStartTenths : in.mainLinkDisableTimeoutMs / 100;
}

TestParameterBlock::Build TestParameterBlock::FromInputs(const TestParameterInputs& in) {
    Build build;
    if (in.laneCountItem < 0 || in.laneCountItem >= static_cast<int>(kLaneCounts.size())) {
        build.message = kNoLaneCountMessage;
        return build;
    }
    if (in.linkRateItem < 0 || in.linkRateItem >= static_cast<int>(kLinkRateCodes.size())) {
        build.message = kNoLinkRateMessage;
        return build;
    }
    auto& b = build.block;
    b[1] = kLaneCounts[static_cast<size_t>(in.laneCountItem)];
    b[3] = kLinkRateCodes[static_cast<size_t>(in.linkRateItem)];

    const uint8_t event = IsEventEnabled(in) ? static_cast<uint8_t>((in.eventItem & 3) << 3) : 0;  // -1 gives 3
    b[5] = Bit(in.testLinkTraining, 0) | Bit(in.testEdidRead, 1) | Bit(in.testVideoPattern, 2) | event |
           Bit(in.testTiming, 5) | Bit(in.testAudioPattern, 6);
    b[6] = Bit(in.hdcpCaps[0], 0) | Bit(in.hdcpCaps[1], 1) | Bit(in.hdcpCaps[2], 2) | Bit(in.hdcpCaps[3], 3) |
           Bit(in.sscIfMaxDownSpread, 4);
    b[7] = Bit(in.videoFormatChangeWithoutLt, 0) | Bit(in.laneCountReductionWithoutLt, 1) | Bit(in.spreadSpectrum, 2) |
           Bit(in.eddc, 3) | Bit(in.driveLevel3, 4) | Bit(in.preEmphasis3, 5) | Bit(in.fixedTiming, 6) |
           Bit(in.showPrintPackets, 7);
    PutHighFirst(b, 8, in.afterHpdLowMs);
    PutHighFirst(b, 10, in.afterHpdHighMs);
    b[12] = static_cast<uint8_t>(in.lane1Index);
    b[13] = static_cast<uint8_t>(in.lane2Index);
    b[14] = static_cast<uint8_t>(in.lane4Index);
    PutHighFirst(b, 15,
                 in.hdcpPage ? AuthenticationStartTimeout::Milliseconds(in.authenticationStartTenths)
                             : in.mainLinkDisableTimeoutMs);
    b[17] = in.audioCaps[0];
    b[18] = in.audioCaps[1];
    b[19] = in.audioCaps[2];
    build.extraTimeout100ms = ExtraTimeout100ms(in);
    return build;
}
