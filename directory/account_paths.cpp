#include <vector>

#include "directory/accounts.h"
#include "directory/domains.h"
#include "directory/internal/account_folders.h"
#include "directory/internal/directory_cache.h"
#include "directory/internal/folder_walk.h"
#include "foundation/fs_predicates.h"
#include "foundation/log_line.h"
#include "foundation/utf7.h"

namespace cgp {

using namespace directory_internal;

namespace {

bool findAccountPathBelow(const std::string& folder, const std::string& account, std::string& out, int depth) {
    if (tracing()) tmg::logline() << "Searching for account " << account << "path in " << folder;
    if (!tmg::fs::isDirectory(folder)) {
        if (tracing()) tmg::logline() << "Account path not found";
        return false;
    }
    // A name that would leave the folder, or name a hidden entry, is never found: the
    // answer is "not found", so out is emptied as at the end of a search.
    if (!isPlainEntryName(account)) {
        if (tracing()) tmg::logline() << "Account path not found";
        out.clear();
        return false;
    }
    for (const char* ending : kAccountEndings) {
        out = folder + "/" + account + ending;
        if (tmg::fs::isDirectory(out)) {
            if (tracing()) tmg::logline() << "Account " << account << " path found at " << out;
            return true;
        }
    }
    if (depth < kMaxSubFolderDepth) {
        FolderWalk walk(folder, "*.sub");
        while (walk.next())
            if (findAccountPathBelow(folder + "/" + walk.name(), account, out, depth + 1)) return true;
    }
    if (tracing()) tmg::logline() << "Account path Not found";
    out.clear();
    return false;
}

std::string mailboxNotFound() {
    if (tracing()) tmg::logline() << "Mailbox path not found";
    return std::string();
}

std::string mailboxFound(const std::string& path) {
    if (tracing()) tmg::logline() << "Mailbox path found: " << path;
    return path;
}

std::vector<std::string> mailboxParts(const std::string& mailbox) {
    std::string encoded = tmg::utf7Encode(mailbox, true);
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    while (from <= encoded.size()) {
        std::string::size_type slash = encoded.find('/', from);
        if (slash == std::string::npos) slash = encoded.size();
        if (slash > from) parts.push_back(encoded.substr(from, slash - from));
        from = slash + 1;
    }
    return parts;
}

}  // namespace

bool findAccountPath(const std::string& folder, const std::string& account, std::string& out) {
    return findAccountPathBelow(folder, account, out, 0);
}

std::string findMailboxPath(const AddressPair& address, const std::string& mailbox) {
    tmg::MutexLock lock(&accountCacheMutex());
    const std::string& user = address.first;
    if (tracing()) tmg::logline() << "Searching for real mailbox path of " << mailbox << EMail(address);
    const std::string* domainFolder = directoryCache().domainPaths.find(address.second);
    if (domainFolder == nullptr) {
        if (tracing()) tmg::logline() << "Domain not found: " << address.second;
        return std::string();
    }
    if (!isPlainEntryName(user)) return mailboxNotFound();
    const std::string folder = *domainFolder;
    const bool inbox = mailbox.empty() || mailbox == "INBOX";

    std::string account = folder + "/" + user + ".macnt";
    if (!tmg::fs::isDirectory(account)) {
        if (inbox) {
            for (const char* ending : kAccountEndings) {
                std::string path = folder + "/" + user + ending;
                if (tmg::fs::isDirectory(path)) return path;
            }
        }
        if (!findAccountPath(folder, user, account) || !tmg::fs::isDirectory(account)) return mailboxNotFound();
        if (!inbox && !endsWith(account, ".macnt")) return mailboxNotFound();
    }
    if (mailbox.empty() || (inbox && account.find(".macnt") == std::string::npos)) return account;

    std::vector<std::string> parts = mailboxParts(mailbox);
    if (parts.empty()) return mailboxFound(account);
    std::string path = account;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (path.empty() || path.back() != '/') path += '/';
        path += parts[i];
        if (i + 1 < parts.size()) {
            path += ".folder";
            if (!tmg::fs::isDirectory(path)) return mailboxNotFound();
        }
    }
    if (tmg::fs::isDirectory(path + ".mdir")) return mailboxFound(path + ".mdir");
    if (tmg::fs::isFile(path + ".mbox")) return mailboxFound(path + ".mbox");
    return mailboxNotFound();
}

}  // namespace cgp
