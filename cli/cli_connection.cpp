#include "cli/cli.h"

#include "cli/login_refusal.h"
#include "foundation/pop3_client.h"

namespace cgp {

std::string CLI::defaultHost = "127.0.0.1";
std::uint16_t CLI::defaultPort = 106;
std::string CLI::defaultUser;
std::string CLI::defaultPassword;
CLI::LoginMethod CLI::defaultLoginMethod = CLI::LoginApop;
bool CLI::enabled = true;

namespace cli_internal {
LoginRefusedException::~LoginRefusedException() = default;
}  // namespace cli_internal

namespace {

const char* const kLoginRefused = "Invalid username or password";

}  // namespace

CLI::CLI() : CLI(defaultHost, defaultPort, defaultUser, defaultPassword, defaultLoginMethod) {}

CLI::CLI(const std::string& host, std::uint16_t port, const std::string& user, const std::string& password,
         LoginMethod method) {
    // An unknown method would send no login line and then wait for a reply that never
    // comes.
    if (method != LoginUser && method != LoginApop && method != LoginWebUser)
        throw tmg::InvalidLoginException(kLoginRefused);
    try {
        connect(host, port);
        login(user, password, method);
    } catch (...) {
        // The destructor does not run for a constructor that throws.
        tmg::Socket::close();
        throw;
    }
}

CLI::~CLI() { quit(); }

void CLI::connect(const std::string& host, std::uint16_t port) {
    try {
        tmg::Socket::initialize();
        tmg::Socket::create(false, false);
        sockaddr_in address = tmg::Socket::parseAddress(host, port, true);
        // A failed create leaves no descriptor: connecting "descriptor 0" would act on
        // standard input.
        if (fd <= 0) throw tmg::UnableToConnectException();
        tmg::Socket::connect(address, true);
    } catch (...) {
        tmg::Socket::close();
        throw;
    }
}

void CLI::login(const std::string& user, const std::string& password, LoginMethod method) {
    std::string greeting = readLine();
    switch (method) {
    case LoginApop:
        sendLine(tmg::Pop3Client::apopCommand(greeting, user, password));
        break;
    case LoginWebUser:
        sendLine("AUTH WEBUSER " + user + " " + password);
        break;
    case LoginUser:
        sendLine("user " + user);
        readResponse(false);
        if (replyCode != 300) refuseLogin(false);
        sendLine("pass " + password);
        break;
    default:
        throw tmg::InvalidLoginException(kLoginRefused);
    }
    readResponse(false);
    if (replyCode != 200) refuseLogin(true);
    // The server then answers data on the reply line (201).
    sendLine("inline");
    readResponse(false);
}

void CLI::refuseLogin(bool withServerText) {
    std::string message = replyMessage;
    std::uint16_t code = replyCode;
    quit();
    replyMessage = message;
    replyCode = code;
    std::string text = kLoginRefused;
    if (withServerText && !message.empty()) text += " (" + message + ")";
    throw cli_internal::LoginRefusedException(text, code, message);
}

void CLI::quit() noexcept {
    if (fd != 0) {
        try {
            sendLine("Quit");
            readResponse(true);
        } catch (...) {
            // Closing goes ahead whatever the server said, or failed to say.
        }
    }
    tmg::Socket::close();
}

}  // namespace cgp
