#include "directory/cli_probes.h"

#include <atomic>
#include <string>

#include "cli/cli.h"
#include "foundation/date_time.h"
#include "foundation/exception.h"
#include "foundation/log_line.h"
#include "foundation/mutex.h"

namespace cgp {

namespace {

constexpr std::int64_t retryAfterSeconds = 20;

struct ProbeState {
    tmg::MutexInterface mutex{tmg::LockRank::ClusterProbe};
    // The answer once known (0 or 1), -1 before: read without the mutex, set under it.
    std::atomic<int> answer{-1};
    std::int64_t lastFailure = 0;
    std::string lastSettings;
};

ProbeState& state() {
    // Never destroyed: a probe may still run while the process exits.
    static ProbeState* probe = new ProbeState;
    return *probe;
}

std::atomic<std::int64_t (*)()> clock{nullptr};

std::int64_t now() {
    std::int64_t (*hook)() = clock.load();
    if (hook) return hook();
    return static_cast<std::int64_t>(tmg::DateTime::now(false).toTimeT());
}

}  // namespace

namespace probe_testing {

// The message on one line: line feeds as "\n", carriage returns dropped, blanks and line
// ends trimmed from both ends.
std::string reportedText(const std::string& message) {
    std::string text;
    for (char c : message) {
        if (c == '\n') text += "\\n";
        else if (c != '\r') text += c;
    }
    std::size_t begin = text.find_first_not_of(" \r\n");
    if (begin == std::string::npos) return std::string();
    std::size_t end = text.find_last_not_of(" \r\n");
    return text.substr(begin, end + 1 - begin);
}

}  // namespace probe_testing

bool cliAvailable() {
    if (!CLI::enabled) return false;
    CLI client;
    client.getCurrentController();
    client.quit();
    return true;
}

bool clusterDefaultsViaCli() {
    if (!CLI::enabled) return false;
    ProbeState& probe = state();
    int known = probe.answer.load(std::memory_order_acquire);
    if (known >= 0) return known == 1;
    std::int64_t time = now();
    {
        tmg::MutexLock lock(&probe.mutex);
        if (CLI::defaultPassword.empty() || CLI::defaultUser.empty()) return false;
        if (time < probe.lastFailure + retryAfterSeconds) return false;
    }
    std::string reported;
    try {
        bool answer;
        {
            CLI client;
            answer = client.tryGetClusterDomainDefaults();
            client.quit();
        }
        tmg::MutexLock lock(&probe.mutex);
        // Two first calls may both have asked; the first answer stored holds.
        int none = -1;
        probe.answer.compare_exchange_strong(none, answer ? 1 : 0, std::memory_order_acq_rel);
        return probe.answer.load(std::memory_order_acquire) == 1;
    } catch (const tmg::Exception& error) {
        std::string settings = CLI::defaultUser + CLI::defaultPassword + std::to_string(CLI::defaultPort);
        tmg::MutexLock lock(&probe.mutex);
        probe.lastFailure = time;
        if (settings == probe.lastSettings) return false;
        probe.lastSettings = settings;
        reported = probe_testing::reportedText(error.getMessage());
    }
    tmg::logline() << "Unable to use CLI, please verify your settings";
    tmg::logline() << "CLI module reported: " << reported;
    return false;
}

namespace probe_testing {

void setClock(std::int64_t (*hook)()) { clock.store(hook); }

void forgetState() {
    ProbeState& probe = state();
    tmg::MutexLock lock(&probe.mutex);
    probe.answer.store(-1);
    probe.lastFailure = 0;
    probe.lastSettings.clear();
}

}  // namespace probe_testing

}  // namespace cgp
