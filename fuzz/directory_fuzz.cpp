// The directory over any settings texts and any address: the input is cut at "\n--\n"
// into a domain's domainAliases.data, aliases.data, forwarders.data, groups.data and
// domain.settings, then an address and a mailbox name (cut at the first "\n"). The files
// are loaded and the address resolved and looked up. Nothing may crash or hang, and no
// path found may step out of the folder it was searched in.
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "directory/accounts.h"
#include "directory/domains.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// A base folder of two domains, made once; the fuzzed files are rewritten in it each run.
// The fuzzer reads its corpus by relative paths, so each run goes back where it was.
const std::string& baseFolder() {
    static std::string folder;
    if (!folder.empty()) return folder;
    std::string pattern = (std::filesystem::temp_directory_path() / "directory-fuzz-XXXXXX").string();
    check(::mkdtemp(pattern.data()) != nullptr);
    folder = pattern;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    std::filesystem::create_directories("Settings");
    std::ofstream("Settings/Main.settings") << "{DomainName = main.test;}";
    std::filesystem::create_directories("Accounts/Settings");
    std::filesystem::create_directories("Accounts/bob.macnt/INBOX.mdir");
    std::filesystem::create_directories("Accounts/bob.macnt/a.folder/b.mdir");
    std::filesystem::create_directories("Accounts/x.sub/carol.mdir");
    std::filesystem::create_directories("Accounts/LISTS");
    std::ofstream("Accounts/LISTS/news.list");
    std::filesystem::create_directories("Domains/other.test/dave.mbox");
    std::ofstream("secret.mbox");
    std::filesystem::current_path(previous);
    std::atexit([] { std::filesystem::remove_all(baseFolder()); });
    return folder;
}

std::vector<std::string> pieces(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type from = 0;
    while (parts.size() < 5) {
        std::string::size_type cut = text.find("\n--\n", from);
        if (cut == std::string::npos) break;
        parts.push_back(text.substr(from, cut - from));
        from = cut + 4;
    }
    parts.push_back(text.substr(from));
    return parts;
}

// No "." or ".." step after the domain folder, and the folder itself is where it began.
void checkInside(const std::string& path) {
    if (path.empty()) return;
    check(path.rfind("Accounts/", 0) == 0 || path.rfind("Domains/other.test/", 0) == 0);
    std::string::size_type from = 0;
    while (from <= path.size()) {
        std::string::size_type slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        std::string step = path.substr(from, slash - from);
        check(step != "." && step != ".." && !step.empty());
        from = slash + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(baseFolder());
    std::vector<std::string> parts = pieces(std::string(reinterpret_cast<const char*>(data), size));
    const char* const files[] = {"domainAliases.data", "aliases.data", "forwarders.data", "groups.data",
                                 "domain.settings"};
    for (std::size_t i = 0; i < 5; ++i) {
        std::string path = std::string("Accounts/Settings/") + files[i];
        if (i + 1 < parts.size())
            std::ofstream(path, std::ios::binary | std::ios::trunc) << parts[i];
        else
            std::filesystem::remove(path);
    }
    // A new time each run, so the alias files are read again.
    static std::int64_t stamp = 1;
    ++stamp;
    for (const char* file : {"Accounts/Settings/domainAliases.data", "Accounts/Settings/aliases.data"}) {
        struct timespec times[2] = {{static_cast<time_t>(stamp), 0}, {static_cast<time_t>(stamp), 0}};
        ::utimensat(AT_FDCWD, file, times, 0);
    }
    int saved = ::dup(1);
    int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    cgp::loadDomainList("");

    const std::string& last = parts.back();
    std::string::size_type line = last.find('\n');
    std::string address = last.substr(0, line);
    std::string mailbox = line == std::string::npos ? std::string() : last.substr(line + 1);
    std::string canonical = cgp::canonicalAddress(address);
    check(canonical.find('@') != std::string::npos);
    cgp::AddressPair pair = cgp::splitAddress(address);
    cgp::isList(pair);
    cgp::isGroup(pair);
    cgp::isForwarder(pair);
    checkInside(cgp::findMailboxPath(pair, mailbox));
    checkInside(cgp::findMailboxPath(cgp::AddressPair(pair.first, "main.test"), mailbox));
    std::string found;
    if (cgp::findAccountPath("Accounts", pair.first, found)) checkInside(found);
    std::string ip = pair.second;
    cgp::domainForIp(ip);
    std::cout.flush();
    ::dup2(saved, 1);
    ::close(saved);
    ::close(quiet);
    std::filesystem::current_path(previous);
    return 0;
}
