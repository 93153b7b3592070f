#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_exception.h"
#include "formats/dataset.h"
#include "foundation/socket.h"

namespace cgp {

// One connection of the mail server's CLI administration protocol over TCP: connected and
// logged in when the constructor returns, "Quit" said and closed when destroyed. Every
// administration command is a method that sends one line and reads one reply.
//
// Transport: the tmg::Socket base, with no time-outs set, so the connect, every send and
// every receive block without limit (a server that never answers blocks the client).
// A client is used by one thread at a time; it has no lock. Not copyable: a copy would
// close the descriptor twice.
//
// Errors: every failure is a tmg::Exception subclass, listed at each operation. The
// client stays usable after cgp::CLIException (an error reply) and after a refused
// argument; after tmg::ConnectionResetException it is closed, and every further command or
// read throws tmg::ConnectionResetException at once without touching any descriptor.
class CLI : public tmg::Socket {
public:
    enum LoginMethod {
        LoginUser = 0,     // "user " + user, then "pass " + password
        LoginApop = 1,     // tmg::Pop3Client::apopCommand over the greeting
        LoginWebUser = 2,  // "AUTH WEBUSER " + user + " " + password
    };

    // Class-wide connection values; a host program may change them before it builds
    // clients, never while clients are being built. The host is a dotted IPv4 address.
    static std::string defaultHost;              // "127.0.0.1"
    static std::uint16_t defaultPort;            // 106
    static std::string defaultUser;              // empty
    static std::string defaultPassword;          // empty
    static LoginMethod defaultLoginMethod;       // LoginApop
    // Not read by the client: callers test it before they build one at all.
    static bool enabled;                         // true

    // Connects and logs in with the class-wide values, or with the given ones.
    // Throws:
    // - tmg::InvalidLoginException "Invalid username or password" for a method outside 0
    //   to 2, before connecting;
    // - tmg::SocketException "Invalid IP Address" for a host that is no dotted address;
    // - tmg::UnableToConnectException when no socket can be made or the connect fails;
    // - tmg::InvalidServerPromptException for APOP and a greeting without a time stamp;
    // - tmg::InvalidLoginException "Invalid username or password" when the server refuses
    //   the login, followed by " (" the server's text ")" for a refused final reply with a
    //   text; "Quit" has then been sent;
    // - tmg::ProtocolException "invalid or missing argument" for a user or password
    //   holding CR, LF or NUL, nothing of that line sent;
    // - the reply reader's exceptions (readResponse) and tmg::ConnectionResetException.
    // Whatever it throws, the descriptor is released before the exception leaves.
    CLI();
    CLI(const std::string& host, std::uint16_t port, const std::string& user, const std::string& password,
        LoginMethod method);
    // quit(), then the strings and the socket part are released. Waits for the reply to
    // "Quit" as long as the server takes.
    ~CLI();
    CLI(const CLI&) = delete;
    CLI& operator=(const CLI&) = delete;

    // The constructors' two steps. connect: a new TCP socket connected to host and port,
    // or the exceptions above with the socket closed. login: reads the greeting and logs
    // in; only the constructors call it.
    void connect(const std::string& host, std::uint16_t port);
    void login(const std::string& user, const std::string& password, LoginMethod method);

    // When the socket is open: sends "Quit" and reads the reply, dropping any exception of
    // that exchange. Then closes the socket. Never throws; a second call sends nothing.
    void quit() noexcept;

    // True when a client with the class-wide host and port and these credentials logs in
    // (it quits at once). Otherwise false, with message the exception's text and
    // accountEnabled false; an error 536 whose text holds "access to this account is
    // disabled" (case-folded) is a right password on a disabled account: true, with
    // accountEnabled false and message empty. Exceptions that are no tmg::Exception pass.
    static bool verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                            std::string& message, bool& accountEnabled);
    static bool verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                            std::string& message);

    // Sends the line followed by CR LF. Throws tmg::ProtocolException "invalid or missing
    // argument" (code 0), sending nothing, when the line holds CR, LF or NUL (the rest
    // would run as a command of its own); tmg::ConnectionResetException when the client is
    // closed (nothing sent) or the send fails (the client is closed then).
    void sendLine(const std::string& line);
    // The next line from the server through its first line feed, line end kept as
    // received. Bytes after it stay in the receive buffer for the next read. Throws
    // tmg::ConnectionResetException when the client is closed or the connection ends first.
    std::string readLine();
    // Reads one reply line and sets the reply fields:
    // - 200 or 201: replyData = the text after the first blank, line end included (empty
    //   without a blank), replyMessage = "OK"; never throws;
    // - any other code: replyMessage = that text trimmed (empty without a blank),
    //   replyData unchanged; with throwOnError, throws cgp::CLIException(replyMessage,
    //   replyCode).
    // A line beginning with a blank throws tmg::InvalidServerResponseException (the line
    // trimmed), fields unchanged. A line without a code of 1 to 65535 throws
    // tmg::ProtocolException (the line as received), replyCode 0.
    void readResponse(bool throwOnError);
    // sendLine(line), then readResponse(true).
    void execute(const std::string& line);
    // The same, for a whole line built by the caller; sent as it is.
    void sendCommand(const std::string& line);
    // The data of the last reply: replyData after a 201, else the next line read (whole,
    // not split).
    std::string readResponseData();
    // parseData(readResponseData()).
    DataSet getResponseData();
    // Dataset text, line end and all, parsed; text that is no dataset gives what the
    // dataset reader gives for it (an Empty DataSet), never an exception.
    static DataSet parseData(const std::string& text);
    // The value in the dataset writer's one-line form.
    static std::string toText(const DataSet& value);
    // The text as a String written in the one-line form: bare when non-empty and only
    // letters, digits, "_" and "."; else escaped between double quotes.
    static std::string quote(const std::string& text);
    // True when the text is empty or holds a byte other than ASCII letters, digits and
    // "_@.-".
    static bool needsQuoting(const std::string& text);
    // Throw tmg::ProtocolException "invalid or missing argument" (code 0): for an empty
    // text; for a value that is not of the expected kind (String, Array or Dictionary) or
    // is empty (an empty text, no elements, no keys), and for any other expected kind.
    static void requireString(const std::string& text);
    static void requireDataSet(const DataSet& value, DataSetKind expected);
    // Inside a catch handler: the user-facing text of the exception being handled, by the
    // first match of InvalidLoginException ("Invalid username or password"),
    // ProtocolException (its message), UnableToConnectException ("Unable to connect to
    // server"), ConnectionResetException ("Connection with the server has reset") and any
    // other SocketException ("Unhandled error"). Any other exception leaves the function;
    // with no exception being handled the text is empty.
    static std::string describeCurrentException();

    // The last reply read: its code (0 before the first), its message ("OK" after 200 and
    // 201) and the data of the last 200 or 201 reply.
    std::uint16_t replyCode = 0;
    std::string replyMessage;
    std::string replyData;

private:
    // Keeps the reply fields of a refused login across the "Quit" exchange and throws the
    // refusal.
    [[noreturn]] void refuseLogin(bool withServerText);
};

}  // namespace cgp
