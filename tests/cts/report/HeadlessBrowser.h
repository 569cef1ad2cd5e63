#pragma once
// A headless Chromium driven through its DevTools protocol on a pipe
// (--remote-debugging-pipe: requests on fd 3, replies and events on fd 4,
// each message JSON ended by a NUL byte). One page at a time; every wait has
// a deadline. Tests only.
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <sys/types.h>

#include <deque>
#include <optional>
#include <string>

class HeadlessBrowser {
public:
    HeadlessBrowser() = default;
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;
    // Closes the browser and waits for it (killing it after a deadline).
    ~HeadlessBrowser();

    // Starts `chromium --headless --no-sandbox` with its profile in
    // `profileDir` and opens one blank page. False with `error` set when the
    // program is missing or does not answer.
    bool Start(const std::string& profileDir, std::string& error);
    // Loads the URL in the page and waits for its load event.
    bool Navigate(const QString& url, std::string& error);
    // Evaluates a script expression in the page (a promise is awaited);
    // its value, or nothing when it threw or the browser did not answer.
    std::optional<QJsonValue> Evaluate(const QString& expression, std::string& error);
    // The page as a PNG file of the given size.
    bool Screenshot(const QString& path, int width, int height, std::string& error);

private:
    // Sends a request and waits for its reply (events that come first are
    // kept). Returns the reply's "result"; nothing on an error reply.
    std::optional<QJsonObject> Call(const QString& method, const QJsonObject& params, bool toPage, std::string& error);
    // Waits for an event of the page.
    bool WaitEvent(const QString& method, std::string& error);
    // The next message from the browser; nothing after the deadline.
    std::optional<QJsonObject> Receive(int timeoutMs);

    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    std::string buffer_;
    std::deque<QJsonObject> events_;
    int nextId_ = 1;
    QString session_;
};
