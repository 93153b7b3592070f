#include <exception>

#include "cli/cli.h"

namespace cgp {

std::string CLI::describeCurrentException() {
    // Rethrowing with nothing in flight would end the process.
    if (!std::current_exception()) return std::string();
    try {
        throw;
    } catch (const tmg::InvalidLoginException&) {
        return "Invalid username or password";
    } catch (const tmg::ProtocolException& e) {
        return e.getMessage();
    } catch (const tmg::UnableToConnectException&) {
        return "Unable to connect to server";
    } catch (const tmg::ConnectionResetException&) {
        return "Connection with the server has reset";
    } catch (const tmg::SocketException&) {
        return "Unhandled error";
    }
}

}  // namespace cgp
