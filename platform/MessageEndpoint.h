#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// Registered messages between processes of one user. An endpoint is a
// (message name, 32-bit id) pair, served by a datagram socket in the user's
// private runtime folder ($XDG_RUNTIME_DIR, else a 0700 folder under /tmp).
// A post carries (wParam, lParam); id 0xFFFFFFFF broadcasts to every
// endpoint of that name.
//
// Each name has a folder of its own there. An empty name folder belongs to
// nobody: whoever leaves it empty removes it, and whoever uses it (an
// endpoint's start, a named mutex) registers the name again when the folder
// went away meanwhile. The message folder that holds the names' folders goes
// likewise with the last endpoint: a registration makes it again.
constexpr uint32_t kBroadcastId = 0xFFFFFFFFu;

struct EndpointMessage {
    uint32_t wParam = 0;
    uint32_t lParam = 0;
};

// Makes sure the folder for `name` exists and is usable (the registration
// step). False when the name is not a plain folder name (empty, ".", ".."
// or holding a '/' or zero byte), or when a folder cannot be created or is
// not private to this user (an existing folder's mode is never changed).
bool RegisterMessageName(const std::string& name);

// Paces a start that finds a folder gone as it is used: the folder of a name,
// or the message folder, removed emptied by another program's end in between.
// Each `Next` allows one more try, the first few at once, the later ones after
// a short wait that grows (1 ms, 2 ms, ... 16 ms): on a loaded machine the ends
// of other programs that make and end endpoints over and over can fall into
// the same moment of every quick try. False once the tries are used up (a
// little over a quarter of a second of waiting).
class FolderTries {
public:
    bool Next();

private:
    int done_ = 0;
};

// Removes the name's folder when nothing is left in it (no endpoint, no lock
// file), and then the message folder when no other name's folder is left in
// it; a folder still in use stays.
void ReleaseMessageName(const std::string& name);

// The folder of `name`'s endpoints (a program may keep a lock file of its
// own there, named like no endpoint: endpoints are 8 hexadecimal digits).
std::string MessageNameFolder(const std::string& name);
// The message folder that holds the names' folders.
std::string MessageFolder();

// Posts to (name, id); to all endpoints of the name for kBroadcastId.
// Returns false when no endpoint took the message. A post creates nothing:
// without the name's folder there is no endpoint to take it.
bool PostEndpointMessage(const std::string& name, uint32_t id, uint32_t wParam, uint32_t lParam);

// The start-up clean-up of a program: removes the endpoints of `name` whose
// owner is gone (a socket of this user that refuses a connection: nobody
// serves it any more, as after a program killed outright), then the name's
// folder when that leaves it empty. A live endpoint, one being made, a lock
// file, a symbolic link and anything of another user or name stay.
void RemoveStaleEndpoints(const std::string& name);
// The same for every name in the runtime folder that `isOwnName` accepts.
void RemoveStaleEndpointsOfNames(const std::function<bool(const std::string&)>& isOwnName);

// An endpoint lives as long as its object. Its end removes its socket, the
// name's folder when nothing else is left in it, and then the message folder
// when no other name is left in that; so does an interrupt,
// termination, hang-up or quit signal that ends the program while endpoints
// live (a signal the program ignores or handles itself is left alone).
class MessageEndpoint {
public:
    // Creates the receiving endpoint (name, id); null when that fails, also
    // when a live endpoint of that name and id is there already.
    static std::unique_ptr<MessageEndpoint> Create(const std::string& name, uint32_t id);
    ~MessageEndpoint();
    MessageEndpoint(const MessageEndpoint&) = delete;
    MessageEndpoint& operator=(const MessageEndpoint&) = delete;

    uint32_t Id() const { return id_; }
    const std::string& Name() const { return name_; }
    // Waits up to timeoutMs (-1: no limit; 0: only look) for one message.
    std::optional<EndpointMessage> Receive(int timeoutMs);
    // Readable while a message waits (for QSocketNotifier on the GUI thread).
    int Fd() const { return fd_; }

private:
    MessageEndpoint(std::string name, uint32_t id, int fd, std::string path, int ticket);
    std::string name_;
    uint32_t id_;
    int fd_;
    std::string path_;
    int ticket_;  // of the removal at an ending signal
};

}  // namespace platform
