#include "foundation/exception.h"

namespace tmg {

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return message.c_str(); }

const std::string& Exception::getMessage() const { return message; }

int Exception::getCode() const { return code; }

SocketException::~SocketException() = default;
ProtocolException::~ProtocolException() = default;
InvalidLoginException::~InvalidLoginException() = default;
InvalidServerResponseException::~InvalidServerResponseException() = default;
InvalidServerPromptException::~InvalidServerPromptException() = default;
UnableToConnectException::~UnableToConnectException() = default;
ConnectionResetException::~ConnectionResetException() = default;
UnableToResolveAddressException::~UnableToResolveAddressException() = default;
InvalidSSLCertificateOrKeyException::~InvalidSSLCertificateOrKeyException() = default;
PortAlreadyUsedException::~PortAlreadyUsedException() = default;

}  // namespace tmg
