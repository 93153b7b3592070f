#include "cli/cli_exception.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

static_assert(std::is_base_of_v<tmg::ProtocolException, cgp::CLIException>);
// It adds no data.
static_assert(sizeof(cgp::CLIException) == sizeof(tmg::Exception));

TEST(CLIExceptionTest, ReplyErrorKeepsTextAndCodeThroughBases) {
    try {
        throw cgp::CLIException("unknown account", 512);
    } catch (const tmg::SocketException& e) {
        EXPECT_EQ(e.getMessage(), "unknown account");
        EXPECT_EQ(e.getCode(), 512);
        EXPECT_NE(dynamic_cast<const tmg::ProtocolException*>(&e), nullptr);
    }
    try {
        throw cgp::CLIException("x", 7);
    } catch (const tmg::Exception& e) {
        EXPECT_EQ(e.getCode(), 7);
    }
}

}  // namespace
