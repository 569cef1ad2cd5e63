#include "fwupdater/UpdaterOptions.h"

#include <cctype>
#include <cstdio>
#include <limits>

#include "fwupdater/UpdaterNotice.h"

namespace pallumo {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

class Parser {
public:
    Parser(const std::vector<std::string>& args, UpdaterSettings& s, UpdaterEnvironment& env)
        : args_(args), s_(s), env_(env) {}

    void Run() {
        size_t i = 0;
        while (i < args_.size()) {
            const std::string& a = args_[i];
            if (a.empty() || a[0] != '-') {
                s_.exitCode = exit_code::kFailed;
                s_.informativeOff = true;
                s_.parseFailed = true;
                return;
            }
            const std::optional<size_t> next = ParseOption(i);
            if (!next) {
                s_.informativeOff = true;
                s_.parseFailed = true;
                return;
            }
            i = *next;
        }
    }

private:
    // Handles the option at index i; the index of the next argument to look
    // at, or nothing when the parsing ends with an error.
    std::optional<size_t> ParseOption(size_t i) {
        const char letter =
            static_cast<char>(std::tolower(static_cast<unsigned char>(args_[i].size() > 1 ? args_[i][1] : 0)));
        const bool hasArg = i + 1 < args_.size();
        switch (letter) {
            case '?':
                s_.helpRequested = true;
                return i + 1;
            case 'q':
                s_.informativeOff = true;
                return i + 1;
            case 'c': {
                if (!hasArg)
                    return Error("\n*** COM port setting requires COM port number\n", exit_code::kNoComNumberOrNoFile);
                if (!s_.port.empty()) return Error("\n*** COM port already set.\n", exit_code::kFailed);
                const int32_t n = ParseIntOption(args_[i + 1]);
                if (n < 1 || n > 99) {
                    Error("\n*** COM port number is out of allowed range of 1-99\n", exit_code::kComNumberRange);
                    Notice(notice::kPort, notice::kPortFailed);
                    return std::nullopt;
                }
                s_.port = ComPortPath(n);
                return i + 2;
            }
            case 'd':
                if (!hasArg)
                    return Error("\n*** Device name setting requires a device name\n", exit_code::kNoDeviceName);
                if (!s_.port.empty()) return Error("\n*** COM port already set.\n", exit_code::kFailed);
                s_.port = args_[i + 1];
                return i + 2;
            case 'f':
                if (!hasArg)
                    return Error("\n*** Firmware file name setting requires a filename\n", exit_code::kNoFileName);
                if (!env_.FileExists(args_[i + 1])) {
                    Error("\n*** Firmware file not found\n", exit_code::kFailed);
                    Notice(notice::kFile, notice::kFileNotFound);
                    return std::nullopt;
                }
                s_.firmwareFile = args_[i + 1];
                return i + 2;
            case 'm':
                return NotifyOption(i);
            default:
                return Error("\n*** Unrecognized option", exit_code::kUnknownOption);
        }
    }

    // -m name handle, only as the first option: every output off; window
    // messages to the endpoint (name, handle) from now on.
    std::optional<size_t> NotifyOption(size_t i) {
        if (i != 0) {
            env_.Print("\n*** Option 'm' must be first option\n");  // shown even when all output is off
            s_.exitCode = exit_code::kFailed;
            return std::nullopt;
        }
        s_.allOff = true;
        s_.informativeOff = true;
        if (i + 2 >= args_.size()) return Quiet(exit_code::kNotifyArguments);
        if (!env_.RegisterName(args_[i + 1])) return Quiet(exit_code::kNotifyRegistration);
        const std::optional<uint32_t> handle = ParseHex(args_[i + 2]);
        if (!handle) return Quiet(exit_code::kFailed);
        s_.notify = true;
        s_.notifyName = args_[i + 1];
        s_.notifyWindow = *handle;
        return i + 3;
    }

    std::optional<size_t> Error(const char* text, int code) {
        if (!s_.allOff) env_.Print(text);
        s_.exitCode = code;
        return std::nullopt;
    }
    std::optional<size_t> Quiet(int code) {
        s_.exitCode = code;
        return std::nullopt;
    }
    void Notice(uint32_t kind, uint32_t value) {
        if (s_.notify) env_.Post(s_, kind, value);
    }

    const std::vector<std::string>& args_;
    UpdaterSettings& s_;
    UpdaterEnvironment& env_;
};

}  // namespace

int32_t ParseIntOption(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t v = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > kLimit) v = kLimit;
    }
    if (negative) return static_cast<int32_t>(-v);
    return v > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(v);
}

std::optional<uint32_t> ParseHex(std::string_view text) {
    if (text.size() < 8) return std::nullopt;
    uint32_t v = 0;
    for (size_t i = 0; i < 8; ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    if (text.size() > 8 && HexDigit(text[8]) >= 0) return std::nullopt;
    return v;
}

std::string ComPortPath(int n) { return "/dev/ttyS" + std::to_string(n - 1); }

std::string BannerText(int major, int minor, int patch) {
    char t[64];
    std::snprintf(t, sizeof t, "\nMerovan Pallumo - V%d.%d.%d", major, minor, patch);
    return t;
}

std::string UsageText() {
    return "\nUsage: pallumdo [-q][-c <n>][-f <filename>]"
           "\nFree Order of Options"
           "\n\nOptions:"
           "\n-?        - Show this help"
           "\n-c <n>    - Select COM port with a number 1..99"
           "\n-d <name> - Select COM port with a device name"
           "\n-f <fn>   - Firmware filename"
           "\n-q        - Quiet (Suppress informative prints)";
}

uint32_t ProgressPercent(uint32_t bytesSent, uint32_t total) {
    if (total == 0) return 100;
    return static_cast<uint32_t>(uint64_t{bytesSent} * 100 / total);
}

std::string ProgressText(uint32_t bytesSent, uint32_t total) {
    const uint32_t percent = ProgressPercent(bytesSent, total);
    uint32_t k = total == 0 ? 20 : static_cast<uint32_t>(uint64_t{bytesSent} * 20 / total);
    if (k > 20) k = 20;  // never more columns than the bar has
    char head[32];
    std::snprintf(head, sizeof head, "\rWriting %3u%% [", percent);
    return head + std::string(k, '-') + ">" + std::string(20 - k, ' ') + "]";
}

void ParseArguments(const std::vector<std::string>& args, UpdaterSettings& s, UpdaterEnvironment& env) {
    Parser(args, s, env).Run();
}

}  // namespace pallumo
