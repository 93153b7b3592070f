#pragma once

#include <string>

#include "foundation/exception.h"

namespace cgp::cli_internal {

// Internal to cli/: the administration login's refusal. To its callers it is the
// tmg::InvalidLoginException of the login (code 0, message "Invalid username or
// password", with the server's text in brackets for a refused final reply); it also keeps
// the refusing reply's code and trimmed text, so that CLI::verifyLogin can tell a disabled
// account (536) from a wrong password.
class LoginRefusedException : public tmg::InvalidLoginException {
public:
    LoginRefusedException(const std::string& refusal, int serverCode, const std::string& serverText)
        : InvalidLoginException(refusal), replyCode(serverCode), replyText(serverText) {}
    ~LoginRefusedException() override;

    int replyCode;
    std::string replyText;
};

}  // namespace cgp::cli_internal
