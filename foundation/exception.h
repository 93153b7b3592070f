#pragma once

#include <exception>
#include <string>

namespace tmg {

// Base of every error the system throws: a message text and an integer code, both fixed
// at construction. Thrown by value, caught by class.
class Exception : public std::exception {
public:
    Exception() : code(0) {}
    explicit Exception(int errorCode) : code(errorCode) {}
    Exception(const std::string& text, int errorCode) : message(text), code(errorCode) {}
    ~Exception() override;

    // The message as a NUL-terminated text, valid while the exception lives; never null.
    const char* what() const noexcept override;
    virtual const std::string& getMessage() const;
    virtual int getCode() const;

private:
    std::string message;
    int code;
};

// Declares a subclass whose default message is its own class name, code 0. It adds no data.
#define TMG_DECLARE_EXCEPTION(Name, Base)                                       \
    class Name : public Base {                                                  \
    public:                                                                     \
        Name() : Base(std::string(#Name), 0) {}                                 \
        explicit Name(const std::string& text) : Base(text, 0) {}               \
        ~Name() override;                                                       \
                                                                                \
    protected:                                                                  \
        Name(const std::string& text, int errorCode) : Base(text, errorCode) {} \
    }

// Subclasses take a message and code 0; the protected (message, code) form lets a class
// further down, such as the administration client's reply error, carry a code.
TMG_DECLARE_EXCEPTION(SocketException, Exception);
TMG_DECLARE_EXCEPTION(ProtocolException, SocketException);
TMG_DECLARE_EXCEPTION(InvalidLoginException, ProtocolException);
TMG_DECLARE_EXCEPTION(InvalidServerResponseException, ProtocolException);
TMG_DECLARE_EXCEPTION(InvalidServerPromptException, ProtocolException);
TMG_DECLARE_EXCEPTION(UnableToConnectException, SocketException);
TMG_DECLARE_EXCEPTION(ConnectionResetException, SocketException);
TMG_DECLARE_EXCEPTION(UnableToResolveAddressException, SocketException);
TMG_DECLARE_EXCEPTION(InvalidSSLCertificateOrKeyException, SocketException);
TMG_DECLARE_EXCEPTION(PortAlreadyUsedException, SocketException);

}  // namespace tmg
