#include "HeadlessBrowser.h"

#include <QByteArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/TextFile.h"

namespace {

constexpr int kStartTimeoutMs = 30000;
constexpr int kCallTimeoutMs = 30000;
constexpr int kCloseTimeoutMs = 10000;

using Clock = std::chrono::steady_clock;

// The program's path from PATH, or empty.
std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

HeadlessBrowser::~HeadlessBrowser() {
    if (pid_ <= 0) return;
    std::string ignored;
    if (toBrowser_ >= 0) {
        QJsonObject request{{"id", nextId_++}, {"method", "Browser.close"}};
        WriteAll(toBrowser_, QJsonDocument(request).toJson(QJsonDocument::Compact) + '\0');
        ::close(toBrowser_);
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kCloseTimeoutMs);
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        // Drains what the browser still writes so that it never blocks on the pipe.
        Receive(50);
    }
    if (fromBrowser_ >= 0) ::close(fromBrowser_);
}

bool HeadlessBrowser::Start(const std::string& profileDir, std::string& error) {
    const std::string program = FindProgram("chromium");
    if (program.empty()) {
        error = "chromium is not installed (tools/setup installs it)";
        return false;
    }
    ::signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const std::string profile = "--user-data-dir=" + profileDir;
    std::vector<const char*> argv = {program.c_str(),
                                     "--headless",
                                     "--no-sandbox",
                                     "--remote-debugging-pipe",
                                     "--no-first-run",
                                     "--disable-gpu",
                                     "--disable-dev-shm-usage",
                                     profile.c_str(),
                                     "about:blank",
                                     nullptr};
    pid_ = ::fork();
    if (pid_ == 0) {
        // The pipe ends become fds 3 and 4 (moved high first, so neither
        // overwrites the other); the browser's own chatter goes nowhere.
        const int in = ::fcntl(toChild[0], F_DUPFD, 10);
        const int out = ::fcntl(fromChild[1], F_DUPFD, 10);
        ::dup2(in, 3);
        ::dup2(out, 4);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(program.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (pid_ < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        ::close(toChild[1]);
        ::close(fromChild[0]);
        return false;
    }
    toBrowser_ = toChild[1];
    fromBrowser_ = fromChild[0];

    const auto target = Call("Target.createTarget", {{"url", "about:blank"}}, false, error);
    if (!target) return false;
    const auto attached =
        Call("Target.attachToTarget", {{"targetId", target->value("targetId")}, {"flatten", true}}, false, error);
    if (!attached) return false;
    session_ = attached->value("sessionId").toString();
    return Call("Page.enable", {}, true, error).has_value();
}

bool HeadlessBrowser::Navigate(const QString& url, std::string& error) {
    events_.clear();
    const auto result = Call("Page.navigate", {{"url", url}}, true, error);
    if (!result) return false;
    if (result->contains("errorText")) {
        error = "navigation failed: " + result->value("errorText").toString().toStdString();
        return false;
    }
    return WaitEvent("Page.loadEventFired", error);
}

std::optional<QJsonValue> HeadlessBrowser::Evaluate(const QString& expression, std::string& error) {
    const auto result = Call(
        "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, true, error);
    if (!result) return std::nullopt;
    if (result->contains("exceptionDetails")) {
        error =
            "script error: " +
            QJsonDocument(result->value("exceptionDetails").toObject()).toJson(QJsonDocument::Compact).toStdString();
        return std::nullopt;
    }
    return result->value("result").toObject().value("value");
}

bool HeadlessBrowser::Screenshot(const QString& path, int width, int height, std::string& error) {
    if (!Call("Emulation.setDeviceMetricsOverride",
              {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}}, true, error))
        return false;
    const auto shot = Call("Page.captureScreenshot", {{"format", "png"}}, true, error);
    if (!shot) return false;
    const QByteArray png = QByteArray::fromBase64(shot->value("data").toString().toLatin1());
    if (png.isEmpty() || !test_support::WriteFile(path.toStdString(), png.toStdString())) {
        error = "cannot write " + path.toStdString();
        return false;
    }
    return true;
}

std::optional<QJsonObject> HeadlessBrowser::Call(const QString& method, const QJsonObject& params, bool toPage,
                                                 std::string& error) {
    const int id = nextId_++;
    QJsonObject request{{"id", id}, {"method", method}, {"params", params}};
    if (toPage) request.insert("sessionId", session_);
    if (!WriteAll(toBrowser_, QJsonDocument(request).toJson(QJsonDocument::Compact) + '\0')) {
        error = method.toStdString() + ": the browser's pipe is closed";
        return std::nullopt;
    }
    const int timeout = method.startsWith(QStringLiteral("Target.")) ? kStartTimeoutMs : kCallTimeoutMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const auto message = Receive(static_cast<int>(std::max<long long>(left, 0)));
        if (!message) {
            error = method.toStdString() + ": no answer from the browser";
            return std::nullopt;
        }
        if (!message->contains("id")) {
            events_.push_back(*message);
            continue;
        }
        if (message->value("id").toInt() != id) continue;
        if (message->contains("error")) {
            error = method.toStdString() + ": " +
                    QJsonDocument(message->value("error").toObject()).toJson(QJsonDocument::Compact).toStdString();
            return std::nullopt;
        }
        return message->value("result").toObject();
    }
}

bool HeadlessBrowser::WaitEvent(const QString& method, std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
    for (;;) {
        while (!events_.empty()) {
            const QJsonObject event = events_.front();
            events_.pop_front();
            if (event.value("method").toString() == method) return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const auto message = Receive(static_cast<int>(std::max<long long>(left, 0)));
        if (!message) {
            error = "no " + method.toStdString() + " from the browser";
            return false;
        }
        if (!message->contains("id")) events_.push_back(*message);
    }
}

std::optional<QJsonObject> HeadlessBrowser::Receive(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t end = buffer_.find('\0');
        if (end != std::string::npos) {
            const QByteArray json = QByteArray::fromStdString(buffer_.substr(0, end));
            buffer_.erase(0, end + 1);
            return QJsonDocument::fromJson(json).object();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || fromBrowser_ < 0) return std::nullopt;
        pollfd p{fromBrowser_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[65536];
        const ssize_t n = ::read(fromBrowser_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;  // the browser has gone
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}
