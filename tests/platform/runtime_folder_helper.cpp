// A program for the runtime-folder tests, which kill it or race it against
// others:
//   endpoint NAME ID...         serves the endpoints (ID in hexadecimal)
//                               until it is killed
//   hold NAME                   takes the named mutex NAME and serves the
//                               endpoint (NAME, its process id) until it is
//                               ended (exit 2 when the mutex is held elsewhere);
//                               once both stand its process name is "holding"
//   contend NAME ROUNDS MARKER  takes the named mutex NAME ROUNDS times; while
//                               it holds it, MARKER exists and is its own
//                               (exit 1 when another holder's MARKER is
//                               there, 3 when the mutex fails)
//   rebind NAME ROUNDS          makes and ends an endpoint of NAME ROUNDS
//                               times, each one taking a post to itself
//                               (exit 1 when one does not, 3 when one cannot
//                               be made)
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/MessageEndpoint.h"
#include "platform/NamedMutex.h"

namespace {

// The process name of a holder once it is wholly set up.
constexpr char kHolding[] = "holding";

int ServeEndpoints(const std::string& name, char** ids, int count) {
    std::vector<std::unique_ptr<platform::MessageEndpoint>> endpoints;
    for (int i = 0; i < count; ++i) {
        endpoints.push_back(platform::MessageEndpoint::Create(name, std::strtoul(ids[i], nullptr, 16)));
        if (!endpoints.back()) return 3;
    }
    for (;;) ::pause();
}

int Hold(const std::string& name) {
    platform::NamedMutex::Outcome outcome;
    const auto mutex = platform::NamedMutex::TryAcquire(name, outcome);
    if (!mutex) return outcome == platform::NamedMutex::Outcome::HeldElsewhere ? 2 : 3;
    const auto endpoint = platform::MessageEndpoint::Create(name, static_cast<uint32_t>(::getpid()));
    if (!endpoint) return 3;
    // Both are in the ending-signal clean-up now. The endpoint takes posts a
    // moment before that (from its bind on), so the process's name tells a
    // test when an ending signal finds everything to remove.
    ::prctl(PR_SET_NAME, kHolding);
    for (;;) ::pause();
}

// The contenders sleep, not yield, between tries and while they hold: a
// yield on a machine kept busy gives the processor away for a whole time
// slice each time, and thousands of them took minutes.
constexpr long kRetryUs = 50;
constexpr long kHoldUs = 100;

void Pause(long us) {
    timespec wait{0, us * 1000};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {}
}

int Contend(const std::string& name, int rounds, const std::string& marker) {
    for (int held = 0; held < rounds;) {
        platform::NamedMutex::Outcome outcome;
        const auto mutex = platform::NamedMutex::TryAcquire(name, outcome);
        if (outcome == platform::NamedMutex::Outcome::Failed) return 3;
        if (!mutex) {
            Pause(kRetryUs);
            continue;
        }
        // O_EXCL: the marker of another holder makes this fail.
        const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return 1;
        ::close(fd);
        Pause(kHoldUs);  // a holder that stays a little
        ::unlink(marker.c_str());
        ++held;
    }
    return 0;
}

int Rebind(const std::string& name, int rounds) {
    for (int round = 1; round <= rounds; ++round) {
        const uint32_t id = static_cast<uint32_t>(::getpid()) << 12 | static_cast<uint32_t>(round & 0xFFF);
        const auto endpoint = platform::MessageEndpoint::Create(name, id);
        if (!endpoint) return 3;
        if (!platform::PostEndpointMessage(name, id, 1, static_cast<uint32_t>(round))) return 1;
        const auto message = endpoint->Receive(60000);
        if (!message || message->lParam != static_cast<uint32_t>(round)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A test that fails or ends early takes its helpers with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) return 4;
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "endpoint") return ServeEndpoints(argv[2], argv + 3, argc - 3);
    if (mode == "hold") return Hold(argv[2]);
    if (mode == "contend" && argc == 5) return Contend(argv[2], std::atoi(argv[3]), argv[4]);
    if (mode == "rebind" && argc == 4) return Rebind(argv[2], std::atoi(argv[3]));
    return 2;
}
