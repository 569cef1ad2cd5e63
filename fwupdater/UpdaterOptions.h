#pragma once
// Command-line and console-text rules of the firmware updater, as pure
// functions and one parser that reports through an interface.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pallumo {

// The program's exit codes (the shell sees them modulo 256).
namespace exit_code {
constexpr int kOk = 0;
constexpr int kFailed = -1;
constexpr int kNoComNumberOrNoFile = -2;
constexpr int kNoDeviceName = -3;
constexpr int kNoPort = -4;
constexpr int kNoFileName = -5;
constexpr int kNotifyArguments = -7;
constexpr int kUnknownOption = -8;
constexpr int kComNumberRange = -9;
constexpr int kNotifyRegistration = -10;
}  // namespace exit_code

struct UpdaterSettings {
    bool helpRequested = false;
    bool informativeOff = false;  // no banner, progress bar or success text
    bool allOff = false;          // no error texts, usage or closing line feed either
    std::string port;             // device path
    std::string firmwareFile;
    bool notify = false;  // window messages are posted (a registered name)
    std::string notifyName;
    uint32_t notifyWindow = 0;  // endpoint id; 0xFFFFFFFF broadcasts
    int exitCode = exit_code::kOk;
    bool parseFailed = false;  // the parsing ended with an error: no update
};

// What the parser and the updater need from the outside world.
class UpdaterEnvironment {
public:
    virtual ~UpdaterEnvironment() = default;
    virtual void Print(const std::string& text) = 0;                                 // standard output
    virtual void Post(const UpdaterSettings& s, uint32_t kind, uint32_t value) = 0;  // only called while s.notify
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool RegisterName(const std::string& name) = 0;
};

// A decimal number as C atoi reads it (leading blanks, an optional sign,
// leading digits, the rest ignored; 0 when there are no digits), saturated
// at the 32-bit limits instead of overflowing.
int32_t ParseIntOption(std::string_view text);
// A window handle: exactly 8 hexadecimal digits (either case) at the start,
// not followed by a further hexadecimal digit.
std::optional<uint32_t> ParseHex(std::string_view text);
// The device path for COM port n (1 to 99): /dev/ttyS(n - 1).
std::string ComPortPath(int n);

std::string BannerText(int major, int minor, int patch);
std::string UsageText();
// The progress line redrawn in place: "\rWriting  nn% [" with the number
// right-aligned in three columns, then k x '-', '>', (20 - k) x ' ', "]".
std::string ProgressText(uint32_t bytesSent, uint32_t total);
uint32_t ProgressPercent(uint32_t bytesSent, uint32_t total);
// The text at the start of the update.
constexpr const char* kProgressStartText = "\nWriting   0% [>                    ]";

// Parses args (without the program name) into s, printing error texts and
// posting notices through env as the options say.
void ParseArguments(const std::vector<std::string>& args, UpdaterSettings& s, UpdaterEnvironment& env);

}  // namespace pallumo
