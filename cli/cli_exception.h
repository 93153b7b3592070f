#pragma once

#include <string>

#include "foundation/exception.h"

namespace cgp {

// An error reply of the server's administration protocol: the reply's text and its code.
class CLIException : public tmg::ProtocolException {
public:
    CLIException(const std::string& text, int replyCode) : ProtocolException(text, replyCode) {}
    ~CLIException() override;
};

}  // namespace cgp
