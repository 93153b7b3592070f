// The cluster probe on its two paths that do not connect, the kept answer and the wait
// after a failure, against a plain read of an atomic flag in the same run.
#include <atomic>
#include <cstdio>

#include "cli/cli.h"
#include "directory/cli_probes.h"
#include "loopback_responder.h"
#include "timing.h"

namespace {

const int kCalls = 2000000;

std::int64_t frozenClock() { return 1000000; }

double perSecond(bool (*probe)(), bool expected) {
    bool wrong = false;
    double seconds = secondsFor([&] {
        for (int i = 0; i < kCalls; ++i) wrong |= probe() != expected;
    });
    if (wrong) std::printf("a call gave the wrong answer\n");
    return kCalls / seconds;
}

std::atomic<bool> flag{true};
bool readFlag() { return flag.load(std::memory_order_acquire); }

}  // namespace

int main() {
    cgp::CLI::defaultUser = "bench";
    cgp::CLI::defaultPassword = "pw";
    cgp::CLI::defaultLoginMethod = cgp::CLI::LoginWebUser;
    double plain = perSecond(readFlag, true);

    // The kept answer: asked once of the responder; then it is gone and nothing listens on
    // its port, so a call that connected would fail.
    {
        bench::Responder responder("{}");
        cgp::CLI::defaultPort = responder.port;
        if (!cgp::clusterDefaultsViaCli()) std::printf("the responder's answer was not kept\n");
    }
    double kept = perSecond(cgp::clusterDefaultsViaCli, true);

    // The wait after a failure: one failure on a frozen clock, then every call waits.
    cgp::probe_testing::forgetState();
    cgp::probe_testing::setClock(frozenClock);
    std::fflush(stdout);
    cgp::clusterDefaultsViaCli();  // fails and reports (two lines)
    double waiting = perSecond(cgp::clusterDefaultsViaCli, false);

    std::printf("plain atomic read:        %12.0f calls/s\n", plain);
    std::printf("probe, answer kept:       %12.0f calls/s  ratio to the read %.1f\n", kept, plain / kept);
    std::printf("probe, after a failure:   %12.0f calls/s  ratio to the read %.1f\n", waiting, plain / waiting);
    return 0;
}
