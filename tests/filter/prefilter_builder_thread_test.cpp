#include "filter/prefilter_builder.h"

#include <sstream>
#include <string>

#include <boost/regex.hpp>
#include <gtest/gtest.h>

#include "foundation/process.h"
#include "tests/support/capture_stdout.h"

namespace {

using cgp::PrefilterBuilder;

void readRules(FilterSettings& settings, const std::string& text) {
    std::istringstream in(text);
    settings.read(in);
}

const char* const someRules =
    "HEADERS\n  Money /^Subject:.*free money/i\nBODY\n  Pills /viagra|cialis/i\nFULL\n  Quoted /\\Qplain\\E/\n";

TEST(PrefilterBuilderThread, BuildsOffTheCallerAndSaysWhenReady) {
    FilterSettings settings;
    readRules(settings, someRules);
    testsupport::CaptureStdout capture;
    {
        PrefilterBuilder builder;
        builder.start(settings);
        ASSERT_TRUE(builder.waitForTests(settings.generation(), 10000));
        std::shared_ptr<const cgp::RulesPrefilter> built = builder.ready(settings.generation());
        ASSERT_TRUE(built);
        // Header lines meet the header rules then the full ones; body lines likewise.
        EXPECT_EQ(built->headerLines->ruleCount(), 2u);
        EXPECT_EQ(built->bodyLines->ruleCount(), 2u);
        EXPECT_EQ(built->headerLines->alwaysRunCount(), 1u);
        EXPECT_FALSE(builder.ready(settings.generation() + 1));
    }
    std::string out = capture.text();
    capture.stop();
    EXPECT_TRUE(boost::regex_match(out, boost::regex("\\* Prefilter ready: 3 rules in [0-9]+\\.[0-9] s\n"))) << out;
}

TEST(PrefilterBuilderThread, NewRulesDropTheOldBuild) {
    FilterSettings settings;
    readRules(settings, someRules);
    testsupport::CaptureStdout capture;
    PrefilterBuilder builder;
    builder.start(settings);
    std::uint64_t old = settings.generation();
    readRules(settings, "BODY\n  Other /lottery/\n");
    ASSERT_NE(settings.generation(), old);
    builder.start(settings);
    ASSERT_TRUE(builder.waitForTests(settings.generation(), 10000));
    EXPECT_FALSE(builder.ready(old));
    EXPECT_EQ(builder.ready(settings.generation())->bodyLines->ruleCount(), 1u);
    capture.stop();
}

// A builder that goes while its build runs stops it: nothing is published or said after.
TEST(PrefilterBuilderThread, EndsQuietlyWhenDestroyedMidBuild) {
    std::string rules = "BODY\n";
    for (int i = 0; i < 300; ++i) rules += "  R" + std::to_string(i) + " /w" + std::to_string(i) + "[a-z]{2,9}x/i\n";
    FilterSettings settings;
    readRules(settings, rules);
    testsupport::CaptureStdout capture;
    {
        PrefilterBuilder builder;
        builder.start(settings);
    }
    tmg::sleepMilliseconds(300);
    std::string out = capture.text();
    capture.stop();
    EXPECT_EQ(out.find("Prefilter ready"), std::string::npos) << out;
}

}  // namespace
