#include "foundation/socket_address.h"

#include <arpa/inet.h>

#include <cstring>

#include "foundation/exception.h"
#include "foundation/socket.h"

namespace tmg {

sockaddr_in Socket::parseAddress(const std::string& text, std::uint16_t port, bool throwOnError) {
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = parseAddressValue(text, throwOnError);
    return address;
}

std::uint32_t Socket::parseAddressValue(const std::string& text, bool throwOnError) {
    in_addr parsed{};
    if (::inet_aton(text.c_str(), &parsed) == 0 || text.find('\0') != std::string::npos) {
        if (throwOnError) throw SocketException("Invalid IP Address");
        return 0;
    }
    return parsed.s_addr;
}

namespace sock {

std::string addressToString(std::uint32_t networkOrder) {
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN];
    return ::inet_ntop(AF_INET, &address, text, sizeof text) ? std::string(text) : std::string();
}

std::string hostOrderToString(std::uint32_t hostOrder) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string((hostOrder >> shift) & 0xFF);
    }
    return text;
}

}  // namespace sock
}  // namespace tmg
