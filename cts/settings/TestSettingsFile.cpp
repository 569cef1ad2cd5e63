#include "cts/settings/TestSettingsFile.h"

#include <algorithm>
#include <limits>

#include "platform/IniFile.h"

namespace {

constexpr const char* kSetup = "Setup";
constexpr const char* kColorimetry = "Colorimetry";

// The time-stamp record's keys: A (the even byte) and B (the timing code) of
// each row, in record order.
constexpr std::array<const char*, 12> kTimingRecordKeys = {"TSG_R1A", "TSG_R1B", "TSG_R2A", "TSG_R2B",
                                                           "TSG_R4A", "TSG_R4B", "TSG_H1A", "TSG_H1B",
                                                           "TSG_H2A", "TSG_H2B", "TSG_H4A", "TSG_H4B"};
constexpr std::array<uint8_t, 6> kTimingCodeDefaults = {1, 2, 3, 2, 4, 5};
constexpr const char* kAuthenticationTimeoutDefault = "10.0";

// The keys in the order the file holds them; the warning names keys in this order.
constexpr std::array<const char*, 28> kKeyOrder = {
    "CFG_Version", "MaxLanes",   "MaxRate",    "TestAutomation", "Flags",   "HPDLow",  "HPDHigh",
    "MPT_Index1",  "MPT_Index2", "MPT_Index4", "acap0",          "acap1",   "acap2",   "AuthTO",
    "TOUT",        "TSG_R1A",    "TSG_R1B",    "TSG_R2A",        "TSG_R2B", "TSG_R4A", "TSG_R4B",
    "TSG_H1A",     "TSG_H1B",    "TSG_H2A",    "TSG_H2B",        "TSG_H4A", "TSG_H4B", "Count"};

// 1, 2, 4 lanes are items 0, 1, 2 of the lane boxes; 6 and 10 (1.62 and
// 2.7 Gbps) items 0 and 1 of the rate boxes.
constexpr std::array<int32_t, 3> kLaneCounts = {1, 2, 4};
constexpr std::array<int32_t, 2> kRateCodes = {6, 10};

constexpr int32_t kMaxColorimetryIds = 13;  // the colorimetry dialog's rows

// A carriage return is a blank, as in the ini layer.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int32_t Saturate32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// Reads one key; a missing key and a value that is no decimal integer give
// `def`, and the key of such a value is noted in `notNumbers`.
class Reader {
public:
    Reader(const platform::IniFile& ini, std::vector<std::string>& notNumbers) : ini_(ini), notNumbers_(notNumbers) {}

    int64_t Integer(const char* section, const std::string& key, int64_t def) const {
        if (!ini_.ValueExists(section, key)) return def;
        const std::optional<int64_t> value = TestSettingsFile::ParseDecimal(ini_.ReadString(section, key, ""));
        if (!value) notNumbers_.push_back(key);
        return value.value_or(def);
    }
    int64_t Setup(const std::string& key, int64_t def) const { return Integer(kSetup, key, def); }

private:
    const platform::IniFile& ini_;
    std::vector<std::string>& notNumbers_;
};

// The names sorted into the file's key order (names not in it last, as they came), joined by ", ".
std::string KeyList(std::vector<std::string> keys) {
    const auto rank = [](const std::string& key) {
        return std::find(kKeyOrder.begin(), kKeyOrder.end(), key) - kKeyOrder.begin();
    };
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    std::string text;
    for (size_t i = 0; i < keys.size(); ++i) text += (i ? ", " : "") + keys[i];
    return text;
}

// Whether an audio capability byte fits its layout: byte 0 keeps bit 7
// clear; byte 1 keeps bit 3 clear and holds 2 to 8 channels in bits 4-7;
// byte 2 uses bits 0 to 2 only.
bool AudioByteFits(size_t index, int64_t value) {
    if (value < 0 || value > 0xFF) return false;
    switch (index) {
        case 0:
            return (value & 0x80) == 0;
        case 1: {
            const int64_t channels = value >> 4;
            return (value & 0x08) == 0 && channels >= AudioCaps::kMinChannels && channels <= AudioCaps::kMaxChannels;
        }
        default:
            return value <= 7;
    }
}

}  // namespace

std::optional<int64_t> TestSettingsFile::ParseDecimal(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max();
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        const int digit = c - '0';
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -value : value;
}

TestSettingsFile::Seconds TestSettingsFile::ReadAuthenticationTimeout(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view s) { return std::all_of(s.begin(), s.end(), IsDigit); };
    if (!digits(whole) || !digits(fraction) || (whole.empty() && fraction.empty())) return Seconds::kNoNumber;
    // Compared in decimal: 1 <= whole.fraction <= 64.
    const int64_t seconds = ParseDecimal(whole).value_or(0);
    const bool fractionZero = std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
    const bool inRange = !negative && seconds >= 1 && (seconds < 64 || (seconds == 64 && fractionZero));
    return inRange ? Seconds::kInRange : Seconds::kOutOfRange;
}

std::string TestSettingsFile::LoadWarning(std::vector<std::string> outOfRange, std::vector<std::string> notNumbers) {
    std::string text;
    if (!outOfRange.empty())
        text = "Some settings were not loaded because their values are out of range: " + KeyList(std::move(outOfRange));
    if (!notNumbers.empty()) {
        if (!text.empty()) text += '\n';
        text +=
            "Some settings were loaded with their defaults because their values are not numbers in the settings "
            "file's form: " +
            KeyList(std::move(notNumbers));
    }
    return text;
}

void TestSettingsFile::Write(platform::IniFile& ini, const TestSettings& s) {
    const auto setup = [&ini](const char* key, int64_t value) { ini.WriteString(kSetup, key, std::to_string(value)); };
    setup("CFG_Version", kVersion);
    if (s.laneCountItem >= 0 && s.laneCountItem < static_cast<int32_t>(kLaneCounts.size()))
        setup("MaxLanes", kLaneCounts[static_cast<size_t>(s.laneCountItem)]);
    if (s.linkRateItem >= 0 && s.linkRateItem < static_cast<int32_t>(kRateCodes.size()))
        setup("MaxRate", kRateCodes[static_cast<size_t>(s.linkRateItem)]);
    setup("TestAutomation", s.testAutomation);
    setup("Flags", s.flags & kFlagBits);
    setup("HPDLow", s.afterHpdLowMs);
    setup("HPDHigh", s.afterHpdHighMs);
    for (size_t i = 0; i < kMostPackedKeys.size(); ++i) setup(kMostPackedKeys[i], s.mostPackedIndexes[i]);
    for (size_t i = 0; i < s.audioCaps.size(); ++i) setup(("acap" + std::to_string(i)).c_str(), s.audioCaps[i]);
    ini.WriteString(kSetup, "AuthTO", s.authenticationStartTimeout);
    setup("TOUT", s.mainLinkDisableTimeoutMs);

    ini.EraseSection(kColorimetry);
    ini.WriteString(kColorimetry, "Count", std::to_string(s.colorimetryIds.size()));
    for (size_t n = 0; n < s.colorimetryIds.size(); ++n)
        ini.WriteString(kColorimetry, "ID_" + std::to_string(n), std::to_string(s.colorimetryIds[n]));

    for (size_t i = 0; i < kTimingRecordKeys.size(); ++i) setup(kTimingRecordKeys[i], s.timingRecord[i]);
}

bool TestSettingsFile::Save(const std::filesystem::path& path, const TestSettings& settings, std::string* error) {
    platform::IniFile ini;
    // A file that is there but cannot be read would lose its other keys; one
    // that is no regular file (a FIFO) is refused without being opened.
    std::string unreadable;
    if (!ini.Load(path, &unreadable) && !unreadable.empty()) {
        if (error) *error = "Cannot read " + path.string() + ": " + unreadable;
        return false;
    }
    Write(ini, settings);
    return ini.Save(path, error);
}

LoadedTestSettings TestSettingsFile::Read(const platform::IniFile& ini) {
    LoadedTestSettings s;
    const Reader r(ini, s.notNumbers);

    s.fileVersion = Saturate32(ParseDecimal(ini.ReadString(kSetup, "CFG_Version", "")).value_or(-1));
    s.version = s.fileVersion == -1         ? LoadedTestSettings::Version::kNone
                : s.fileVersion == kVersion ? LoadedTestSettings::Version::kCurrent
                                            : LoadedTestSettings::Version::kOther;

    const int64_t lanes = r.Setup("MaxLanes", 1);
    for (size_t i = 0; i < kLaneCounts.size(); ++i)
        if (lanes == kLaneCounts[i]) s.laneCountItem = static_cast<int32_t>(i);
    const int64_t rate = r.Setup("MaxRate", 6);
    for (size_t i = 0; i < kRateCodes.size(); ++i)
        if (rate == kRateCodes[i]) s.linkRateItem = static_cast<int32_t>(i);

    // Bit sets: only their defined bits count (Flags: of the low 16 bits, 0 to 12).
    s.testAutomation = static_cast<int32_t>(r.Setup("TestAutomation", 127) & kAutomationBits);
    s.flags = static_cast<int32_t>(r.Setup("Flags", 0) & kFlagBits);

    s.afterHpdLowMs = Saturate32(r.Setup("HPDLow", 700));
    s.afterHpdHighMs = Saturate32(r.Setup("HPDHigh", 0));
    s.mainLinkDisableTimeoutMs = Saturate32(r.Setup("TOUT", 2000));

    static constexpr std::array<int64_t, 3> kMostPackedDefaults = {2, 4, 12};
    for (size_t i = 0; i < kMostPackedKeys.size(); ++i)
        s.mostPackedIndexes[i] = Saturate32(r.Setup(kMostPackedKeys[i], kMostPackedDefaults[i]));

    for (size_t i = 0; i < s.audioCaps.size(); ++i) {
        const std::string key = "acap" + std::to_string(i);
        const int64_t value = r.Setup(key, AudioCaps::kStart[i]);
        if (AudioByteFits(i, value)) s.audioCaps[i] = static_cast<uint8_t>(value);
        else s.outOfRange.push_back(key);
    }

    // A number in range goes to the edit as written, less a "+" (the edit
    // reads digits and "." only); a text that is no number is read as the
    // default, as an integer key's would be.
    const std::string auth = ini.ReadString(kSetup, "AuthTO", kAuthenticationTimeoutDefault);
    switch (ReadAuthenticationTimeout(auth)) {
        case Seconds::kInRange: {
            std::string_view seconds = Trim(auth);
            if (seconds.front() == '+') seconds.remove_prefix(1);
            s.authenticationStartTimeout = std::string(seconds);
            break;
        }
        case Seconds::kOutOfRange:
            s.outOfRange.push_back("AuthTO");
            break;
        case Seconds::kNoNumber:
            s.authenticationStartTimeout = kAuthenticationTimeoutDefault;
            s.notNumbers.push_back("AuthTO");
            break;
    }

    for (size_t row = 0; row < kTimingCodeDefaults.size(); ++row) {
        const int64_t code = r.Setup(kTimingCodeKeys[row], kTimingCodeDefaults[row]);
        if (code >= 0 && code <= 0xFF) s.timingCodes[row] = static_cast<uint8_t>(code);
        else s.outOfRange.push_back(kTimingCodeKeys[row]);
    }

    // More IDs than the dialog has rows: the first 13 are read; a negative
    // count reads none.
    const int64_t count = r.Integer(kColorimetry, "Count", 0);
    if (count < 0 || count > kMaxColorimetryIds) s.outOfRange.push_back("Count");
    const int64_t read = std::clamp<int64_t>(count, 0, kMaxColorimetryIds);
    for (int64_t n = 0; n < read; ++n)
        s.colorimetryIds.push_back(Saturate32(r.Integer(kColorimetry, "ID_" + std::to_string(n), -1)));
    return s;
}
