#include "foundation/exception.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <type_traits>


namespace {

template <class Derived, class Base>
constexpr bool isA = std::is_base_of_v<Base, Derived>;

static_assert(isA<tmg::Exception, std::exception>);
static_assert(isA<tmg::SocketException, tmg::Exception>);
static_assert(isA<tmg::ProtocolException, tmg::SocketException>);
static_assert(isA<tmg::InvalidLoginException, tmg::ProtocolException>);
static_assert(isA<tmg::InvalidServerResponseException, tmg::ProtocolException>);
static_assert(isA<tmg::InvalidServerPromptException, tmg::ProtocolException>);
// Connection-level errors are socket errors but not protocol errors.
static_assert(isA<tmg::UnableToConnectException, tmg::SocketException>);
static_assert(isA<tmg::ConnectionResetException, tmg::SocketException>);
static_assert(isA<tmg::UnableToResolveAddressException, tmg::SocketException>);
static_assert(isA<tmg::InvalidSSLCertificateOrKeyException, tmg::SocketException>);
static_assert(isA<tmg::PortAlreadyUsedException, tmg::SocketException>);
static_assert(!isA<tmg::UnableToConnectException, tmg::ProtocolException>);
static_assert(!isA<tmg::ConnectionResetException, tmg::ProtocolException>);
static_assert(!isA<tmg::UnableToResolveAddressException, tmg::ProtocolException>);
static_assert(!isA<tmg::InvalidSSLCertificateOrKeyException, tmg::ProtocolException>);
static_assert(!isA<tmg::PortAlreadyUsedException, tmg::ProtocolException>);
// The subclasses add no data.
static_assert(sizeof(tmg::PortAlreadyUsedException) == sizeof(tmg::Exception));

struct DefaultCase {
    std::function<void()> thrower;
    const char* text;
};

TEST(ExceptionTest, DefaultMessagesAreClassNames) {
    const DefaultCase cases[] = {
        {[] { throw tmg::SocketException(); }, "SocketException"},
        {[] { throw tmg::ProtocolException(); }, "ProtocolException"},
        {[] { throw tmg::InvalidLoginException(); }, "InvalidLoginException"},
        {[] { throw tmg::InvalidServerResponseException(); }, "InvalidServerResponseException"},
        {[] { throw tmg::InvalidServerPromptException(); }, "InvalidServerPromptException"},
        {[] { throw tmg::UnableToConnectException(); }, "UnableToConnectException"},
        {[] { throw tmg::ConnectionResetException(); }, "ConnectionResetException"},
        {[] { throw tmg::UnableToResolveAddressException(); }, "UnableToResolveAddressException"},
        {[] { throw tmg::InvalidSSLCertificateOrKeyException(); }, "InvalidSSLCertificateOrKeyException"},
        {[] { throw tmg::PortAlreadyUsedException(); }, "PortAlreadyUsedException"},
    };
    for (const auto& c : cases) {
        try {
            c.thrower();
            FAIL() << "nothing thrown for " << c.text;
        } catch (const tmg::SocketException& e) {
            EXPECT_STREQ(e.what(), c.text);
            EXPECT_EQ(e.getMessage(), c.text);
            EXPECT_EQ(e.getCode(), 0);
        }
    }
}

TEST(ExceptionTest, BaseConstructors) {
    tmg::Exception onlyCode(42);
    EXPECT_NE(onlyCode.what(), nullptr);
    EXPECT_STREQ(onlyCode.what(), "");
    EXPECT_EQ(onlyCode.getCode(), 42);

    tmg::Exception both("Invalid Dataset Type", 3);
    EXPECT_EQ(both.getMessage(), "Invalid Dataset Type");
    EXPECT_EQ(both.getCode(), 3);

    tmg::UnableToResolveAddressException given("Invalid IP address");
    EXPECT_STREQ(given.what(), "Invalid IP address");
    EXPECT_EQ(given.getCode(), 0);
}

TEST(ExceptionTest, SiblingsAreNotCaughtAsProtocolErrors) {
    bool caughtAsProtocol = false, caughtAsSocket = false;
    try {
        try {
            throw tmg::UnableToResolveAddressException();
        } catch (const tmg::ProtocolException&) {
            caughtAsProtocol = true;
        }
    } catch (const tmg::SocketException&) {
        caughtAsSocket = true;
    }
    EXPECT_FALSE(caughtAsProtocol);
    EXPECT_TRUE(caughtAsSocket);
}

}  // namespace
