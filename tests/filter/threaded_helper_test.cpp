#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include "filter/helper.h"
#include "foundation/exception.h"
#include "foundation/output_line.h"
#include "foundation/process.h"
#include "tests/support/cout_capture.h"
#include "tests/support/forked_child.h"
#include "tests/support/sanitizer_build.h"
#include "tests/support/thread_start_failure.h"

namespace {

using testsupport::CoutCapture;
using testsupport::ForkedChild;

// A threaded engine whose requests act on their parameters: "hold..." waits for the gate,
// "slow..." takes 20 ms, then one with "boom" in it throws; the others answer
// "<n> OK "<parameters>"".
// QUIT opens the gate; "INTF 9" runs the test's hook on the loop thread.
class GatedEngine : public cgp::Helper {
public:
    GatedEngine() : Helper(true, "REJECTED") {}

    void processRequest(std::uint32_t number, const std::string&, const std::string& parameters) override {
        if (parameters.compare(0, 4, "hold") == 0) {
            std::unique_lock<std::mutex> lock(gateMutex);
            gateChanged.wait(lock, [&] { return gateOpen; });
        }
        if (parameters.compare(0, 4, "slow") == 0) tmg::sleepMilliseconds(20);
        if (parameters.find("boom") != std::string::npos) throw tmg::Exception("boom " + std::to_string(number), 5);
        tmg::outline() << number << " OK \"" << parameters << "\"";
    }
    bool isSupportedCommand(const std::string& command) const override { return command == "file"; }
    void onQuit() override { openGate(); }
    int protocolVersion(int requested) override {
        if (requested == 9 && hook) hook();
        return Helper::protocolVersion(requested);
    }

    void openGate() {
        {
            std::lock_guard<std::mutex> lock(gateMutex);
            gateOpen = true;
        }
        gateChanged.notify_all();
    }

    std::function<void()> hook;

private:
    std::mutex gateMutex;
    std::condition_variable gateChanged;
    bool gateOpen = false;
};

void runOn(cgp::Helper& engine, const std::string& input) {
    std::istringstream in(input);
    engine.run(in);
}

std::string numbered(int first, int last, const std::string& parameters) {
    std::string lines;
    for (int i = first; i <= last; ++i) lines += std::to_string(i) + " FILE " + parameters + "\n";
    return lines;
}

TEST(ThreadedHelperTest, TheFiftyFirstRequestInFlightIsRefused) {
    CoutCapture out;
    {
        GatedEngine engine;
        runOn(engine, numbered(1, 50, "hold") + "51 FILE hold\n" + "q QUIT\n");
    }
    EXPECT_EQ(out.count("51 REJECTED \"Too many requests in queue (50), try again in a few seconds.\"\n"), 1u);
    EXPECT_EQ(out.count("Thread processing started\n"), 50u);
    EXPECT_EQ(out.count("Thread processing done\n"), 50u);
    EXPECT_EQ(out.count(" OK \"hold\"\n"), 50u);
    EXPECT_EQ(out.count("[51]"), 0u);
}

TEST(ThreadedHelperTest, ANumberInFlightIsRefusedWhateverItsRequest) {
    CoutCapture out;
    {
        GatedEngine engine;
        runOn(engine, "1 FILE hold a\n007 FILE hold b\n0007 FILE other\n7 file hold c\nq QUIT\n");
    }
    EXPECT_EQ(out.count("7 REJECTED \"This request ID is already in use (7), try again in a few seconds.\"\n"), 2u);
    EXPECT_EQ(out.count("* [7] Thread processing started\n"), 1u);
    EXPECT_EQ(out.count("7 OK \"hold b\"\n"), 1u);
    EXPECT_EQ(out.count("1 OK \"hold a\"\n"), 1u);
    EXPECT_EQ(out.count("other"), 0u);
}

TEST(ThreadedHelperTest, ANumberIsFreeAgainOnceItsWorkerIsDone) {
    CoutCapture out;
    GatedEngine engine;
    engine.hook = [&] {
        engine.openGate();
        EXPECT_TRUE(out.waitFor("* [5] Thread processing done\n"));
    };
    runOn(engine, "5 FILE hold first\nx INTF 9\n5 FILE second\n");
    EXPECT_EQ(out.count("5 OK \"hold first\"\n"), 1u);
    EXPECT_EQ(out.count("5 OK \"second\"\n"), 1u);
    EXPECT_EQ(out.count("REJECTED"), 0u);
    EXPECT_EQ(out.count("* [5] Thread processing done\n"), 2u);
}

TEST(ThreadedHelperTest, AnswersLeaveAsWorkersFinishAndCarryTheirNumbers) {
    CoutCapture out;
    {
        GatedEngine engine;
        engine.hook = [&] { EXPECT_TRUE(out.waitFor("3 OK \"quick-3\"\n")); };
        runOn(engine, "001 FILE hold-1\n2 FILE hold-2\n03 FILE quick-3\nx INTF 9\nq QUIT\n");
    }
    const std::string text = out.text();
    for (int n : {1, 2, 3}) {
        std::string answer = std::to_string(n) + " OK \"" + (n == 3 ? "quick" : "hold") + "-" + std::to_string(n) + "\"\n";
        EXPECT_EQ(out.count(answer), 1u) << answer;
    }
    EXPECT_LT(text.find("3 OK"), text.find("1 OK"));
    EXPECT_LT(text.find("3 OK"), text.find("2 OK"));
}

TEST(ThreadedHelperTest, RunReturnsOnlyAfterEveryWorkerIsDone) {
    CoutCapture out;
    auto engine = std::make_unique<GatedEngine>();
    runOn(*engine, numbered(1, 20, "slow"));
    EXPECT_EQ(out.count("Thread processing done\n"), 20u);
    engine.reset();  // at once: no worker may touch the engine any more
    EXPECT_EQ(out.count(" OK \"slow\"\n"), 20u);
}

TEST(ThreadedHelperTest, AWorkersErrorLeavesRunAfterTheLineInHand) {
    CoutCapture out;
    auto engine = std::make_unique<GatedEngine>();
    // Nothing fails before the gate opens, in the INTF line.
    engine->hook = [&] {
        engine->openGate();
        EXPECT_TRUE(out.waitFor("* [1] Thread processing done\n"));
    };
    try {
        runOn(*engine, "1 FILE hold-boom\n2 FILE hold\nx INTF 9\n3 KEY\n4 FILE late\n");
        ADD_FAILURE() << "run() returned";
    } catch (const tmg::Exception& e) {
        EXPECT_EQ(e.getMessage(), "boom 1");
        EXPECT_EQ(e.getCode(), 5);
    }
    engine.reset();
    EXPECT_EQ(out.count("x INTF 3\n"), 1u);  // the line in hand is answered
    EXPECT_EQ(out.count("3 OK"), 0u);        // the next is not read
    EXPECT_EQ(out.count("2 OK \"hold\"\n"), 1u);
    EXPECT_EQ(out.count("Thread processing done\n"), 2u);
}

TEST(ThreadedHelperTest, AWorkersErrorAtTheEndOfInputAndACrashWaitForTheWorkers) {
    {
        CoutCapture out;
        GatedEngine engine;
        EXPECT_THROW(runOn(engine, "1 FILE slow\n2 FILE boom\n"), tmg::Exception);
        EXPECT_EQ(out.count("Thread processing done\n"), 2u);
        EXPECT_EQ(out.count("1 OK \"slow\"\n"), 1u);
    }
    {
        CoutCapture out;
        auto engine = std::make_unique<GatedEngine>();
        EXPECT_THROW(runOn(*engine, "1 FILE slow\n2 crash\n3 FILE never\n"), tmg::Exception);
        EXPECT_EQ(out.count("* [1] Thread processing done\n"), 1u);
        engine.reset();
        EXPECT_EQ(out.count("never"), 0u);
    }
}

TEST(ThreadedHelperTest, WithoutThreadsTheLoopHandlesTheRequestItself) {
#if defined(TEST_UNDER_ASAN) || defined(TEST_UNDER_TSAN)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit leaves";
#else
    ForkedChild child([] {
        testsupport::NoNewThreads noThreads;
        if (!noThreads.ok()) return 2;
        CoutCapture out;
        GatedEngine engine;
        runOn(engine, "1 FILE first\n2 FILE second\n");
        const std::string expected =
            "* Ready to receive INTF command.\n"
            "* [1] Thread processing started\n1 OK \"first\"\n* [1] Thread processing done\n"
            "* [2] Thread processing started\n2 OK \"second\"\n* [2] Thread processing done\n";
        return out.text() == expected ? 0 : 3;
    });
    EXPECT_EQ(child.wait(), 0);
#endif
}

}  // namespace
