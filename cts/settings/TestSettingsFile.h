#pragma once
// The test settings file (.CFG): the test parameters of the main window's
// side panels and the choices of the parameter dialogs, as plain ini text
// that the operator saves and loads again.
//
//   [Setup]
//   CFG_Version=1
//   MaxLanes=1|2|4         MaxRate=6|10        TestAutomation=<bits>   Flags=<bits>
//   HPDLow=<ms>            HPDHigh=<ms>        MPT_Index1, MPT_Index2, MPT_Index4
//   acap0, acap1, acap2    AuthTO=<seconds, text>                       TOUT=<ms>
//   TSG_R1A, TSG_R1B, .. TSG_H4B (the 12 bytes of the video time-stamp record)
//   [Colorimetry]
//   Count=<n>              ID_0 .. ID_<n-1>
//
// Every value but AuthTO is a decimal integer; AuthTO is a decimal number of
// seconds. Reading takes a value that is not a number in that form once
// blanks (a carriage return among them) are trimmed, hexadecimal "0x10" and
// an AuthTO of "ten" too, as a missing key: it gives the key's default, and
// the key is named for the warning after loading. Key and section names
// match in any letter case.
//
// Reading hands on only what the controls and dialogs can hold. A number out
// of their range is left out (the control keeps its value) and its key is
// named for the warning after loading; MaxLanes and MaxRate other than the
// items leave the lane and rate boxes as they are without a word. The rules
// that the dialogs' own setters apply (the most-packed timing indexes, the
// codes a time-stamp row offers) stay with those setters; the loading window
// adds their refusals to the names.
//
// Saving rewrites the file atomically: keys of the file that are not written
// again stay in Setup, the Colorimetry section is written anew, and a save
// that fails leaves the old file as it was.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cts/params/AudioCaps.h"

namespace platform {
class IniFile;
}

// What the controls and dialogs hold, as the file stores it.
struct TestSettings {
    int32_t laneCountItem = 0;     // item of CB_SupportTXLanes (0, 1, 2: 1, 2, 4 lanes); -1: none, MaxLanes not written
    int32_t linkRateItem = 0;      // item of CB_SupportTXLinkRate (0, 1: 1.62, 2.7 Gbps); -1: none, MaxRate not written
    int32_t testAutomation = 127;  // TestAutomation bits (TestSettingsFile::kAutomation...)
    int32_t flags = 0;             // Flags bits (TestSettingsFile::kFlag...)
    int32_t afterHpdLowMs = 700;   // UD_HPDLo
    int32_t afterHpdHighMs = 0;    // UD_HPDHi
    std::array<int32_t, 3> mostPackedIndexes = {2, 4, 12};                        // MPT_Index1, MPT_Index2, MPT_Index4
    AudioCaps::Bytes audioCaps = AudioCaps::kStart;                               // acap0 .. acap2
    std::string authenticationStartTimeout = "10.0";                              // AuthTO, the edit's text (UTF-8)
    int32_t mainLinkDisableTimeoutMs = 2000;                                      // UD_Tout
    std::array<uint8_t, 12> timingRecord = {0, 1, 0, 2, 0, 3, 0, 2, 0, 4, 0, 5};  // TSG_R1A .. TSG_H4B
    std::vector<int32_t> colorimetryIds = {0, 32};  // the accepted format IDs in table order

    bool operator==(const TestSettings&) const = default;
};

// What a loaded file hands to the controls and dialogs. An empty optional
// leaves its control as it is.
struct LoadedTestSettings {
    enum class Version { kCurrent, kOther, kNone };
    Version version = Version::kNone;  // kNone: no CFG_Version (not a settings file)
    int32_t fileVersion = -1;

    std::optional<int32_t> laneCountItem;  // MaxLanes 1, 2, 4 as item 0, 1, 2
    std::optional<int32_t> linkRateItem;   // MaxRate 6, 10 as item 0, 1
    int32_t testAutomation = 127;          // bits 0 to 6
    int32_t flags = 0;                     // bits 0 to 12
    // The up-downs keep these in their ranges.
    int32_t afterHpdLowMs = 700;
    int32_t afterHpdHighMs = 0;
    int32_t mainLinkDisableTimeoutMs = 2000;
    // A number of seconds from 1.0 to 64.0 as the file holds it (without
    // the blanks around it and a "+"); the default "10.0" for a text that is
    // no number; empty for a number out of that range.
    std::optional<std::string> authenticationStartTimeout;
    // As read; the most-packed timing dialog's setters refuse an index of another list.
    std::array<int32_t, 3> mostPackedIndexes = {2, 4, 12};
    std::array<std::optional<uint8_t>, 3> audioCaps;  // the bytes that fit the layout
    // ID_0 .. ID_<n-1> as read, after the colorimetry dialog is reset to its defaults.
    std::vector<int32_t> colorimetryIds;
    // The B byte (timing code) of each time-stamp row R1, R2, R4, H1, H2, H4;
    // empty when the value is no byte. The dialog refuses a code its row does
    // not offer.
    std::array<std::optional<uint8_t>, 6> timingCodes;

    // The keys whose values were left out, in the file's key order.
    std::vector<std::string> outOfRange;
    // The keys whose values are no numbers in the file's form (decimal
    // integers; AuthTO a decimal number) and were read as their defaults, in
    // the order read (CFG_Version aside: without a number the file is no
    // settings file).
    std::vector<std::string> notNumbers;
};

class TestSettingsFile {
public:
    static constexpr int32_t kVersion = 1;

    // Bits of TestAutomation.
    static constexpr int32_t kAutomationLinkTraining = 1 << 0;  // CH_LinkTraining
    static constexpr int32_t kAutomationEdidRead = 1 << 1;      // CH_EDID
    static constexpr int32_t kAutomationVideoPattern = 1 << 2;  // CH_Pattern
    static constexpr int32_t kAutomationEventShift = 3;         // bits 3-4: the item of CB_Event
    static constexpr int32_t kAutomationTiming = 1 << 5;        // CH_TEST_TIMING
    static constexpr int32_t kAutomationAudioPattern = 1 << 6;  // CH_TEST_AUDIO
    static constexpr int32_t kAutomationBits = 0x7F;

    // Bits of Flags: 0 to 7 the DUT capability boxes (in this order
    // CH_VFCWOLT, CH_LCRWOLT, CB_SpreadSpectrum, CH_EDDC, CH_DriveLevel,
    // CH_PreEmphasis, CH_FixedTiming, CB_SCC_IfMaxDownSpread), 8 "Show print
    // packets", 9 to 12 CH_HDCP_0 to CH_HDCP_3.
    static constexpr int32_t kFlagDutCapsCount = 8;
    static constexpr int32_t kFlagShowPrintPackets = 1 << 8;
    static constexpr int32_t kFlagHdcpShift = 9;
    static constexpr int32_t kFlagBits = 0x1FFF;

    // The time-stamp rows' B keys, in record order (record byte 2 x row + 1).
    static constexpr std::array<const char*, 6> kTimingCodeKeys = {"TSG_R1B", "TSG_R2B", "TSG_R4B",
                                                                   "TSG_H1B", "TSG_H2B", "TSG_H4B"};
    static constexpr std::array<const char*, 3> kMostPackedKeys = {"MPT_Index1", "MPT_Index2", "MPT_Index4"};

    // The warning after a load that left values out or read values that are
    // no numbers in the file's form as their defaults, or the empty text when
    // both lists are empty. The names are put in the file's key order.
    static std::string LoadWarning(std::vector<std::string> outOfRange, std::vector<std::string> notNumbers);
    static constexpr const char* kInvalidFileMessage = "Invalid configuration file";
    static constexpr const char* kVersionQuestion = "Configuration version mismatch\nAttempt loading anyway?";
    static constexpr const char* kWriteFailedMessage = "Unable to write settings file. Settings not saved.";

    // Puts the settings into an ini file's content: the Setup keys in their
    // order, then the Colorimetry section anew.
    static void Write(platform::IniFile& ini, const TestSettings& settings);
    // Writes the settings into the file at `path` (UTF-8), keeping the keys
    // of an existing file that are not written again. False, and the file
    // untouched, when it cannot be written completely, or when a file is
    // there that cannot be read or is no regular file; `error` then says
    // what failed ("Cannot read <file>: Not a regular file").
    static bool Save(const std::filesystem::path& path, const TestSettings& settings, std::string* error = nullptr);

    // Reads what the file holds (see LoadedTestSettings).
    static LoadedTestSettings Read(const platform::IniFile& ini);

    // A value as a decimal integer: blanks (and carriage returns) trimmed, an optional sign, digits
    // and nothing else; beyond 64 bits it saturates. Empty for anything else.
    static std::optional<int64_t> ParseDecimal(std::string_view text);
    // What an AuthTO text holds, blanks around it trimmed: a number is an
    // optional sign, then digits with optionally "." and more digits, or "."
    // and digits; the edit takes one of 1.0 to 64.0 seconds without a "-".
    enum class Seconds { kInRange, kOutOfRange, kNoNumber };
    static Seconds ReadAuthenticationTimeout(std::string_view text);
};
