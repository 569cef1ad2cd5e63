#pragma once
// A named mutex between processes of one user: an exclusive flock on the
// lock file of that name, in the name's folder of the runtime folder (beside
// the name's message endpoints). The lock file lives only while it is held:
// the holder removes it before it lets go, and a process that locked a file
// that was removed meanwhile tries again, so two processes never hold the
// name at once. An interrupt, termination, hang-up or quit signal that ends
// the holder removes the file too; after a program killed outright the next
// holder takes the file over and removes it at its own end.
#include <memory>
#include <string>

namespace platform {

class NamedMutex {
public:
    enum class Outcome {
        Held,           // this process holds the name
        HeldElsewhere,  // another process holds it (or others keep taking and ending it)
        Failed,         // the lock file cannot be made or locked
    };

    // Takes the name without waiting for a holder; null unless the outcome is
    // Held. Only a start that keeps meeting other holders' ends waits, for a
    // quarter of a second at most (`FolderTries`).
    static std::unique_ptr<NamedMutex> TryAcquire(const std::string& name, Outcome& outcome);
    // Removes the lock file while still holding it, lets go, and removes the
    // name's folder when nothing else is left in it.
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    const std::string& Name() const { return name_; }

private:
    NamedMutex(std::string name, std::string path, int fd, int ticket);
    std::string name_;
    std::string path_;
    int fd_;
    int ticket_;  // of the removal at an ending signal
};

}  // namespace platform
