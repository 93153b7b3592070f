#include "cli/cli.h"

#include "cli/login_refusal.h"
#include "foundation/case_fold.h"

namespace cgp {

namespace {

bool isDisabledAccount(const cli_internal::LoginRefusedException& refusal) {
    return refusal.replyCode == 536 &&
           tmg::foldCase(refusal.replyText).find("access to this account is disabled") != std::string::npos;
}

}  // namespace

bool CLI::verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                      std::string& message, bool& accountEnabled) {
    accountEnabled = true;
    message.clear();
    try {
        CLI client(defaultHost, defaultPort, user, password, method);
        client.quit();
        return true;
    } catch (const cli_internal::LoginRefusedException& refusal) {
        accountEnabled = false;
        if (isDisabledAccount(refusal)) return true;
        message = refusal.getMessage();
        return false;
    } catch (const tmg::Exception& e) {
        accountEnabled = false;
        message = e.getMessage();
        return false;
    }
}

bool CLI::verifyLogin(const std::string& user, const std::string& password, LoginMethod method,
                      std::string& message) {
    bool accountEnabled = true;
    return verifyLogin(user, password, method, message, accountEnabled);
}

}  // namespace cgp
