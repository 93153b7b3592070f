// Commands on skins (server, cluster and domain), the web-interface files of a domain and the web
// files of an account.

#include "cli/cli.h"
#include "cli/command_line.h"

namespace cgp {

using cli_internal::Command;

// Server skins.

void CLI::createServerSkin(const std::string& skin) {
    Command(*this, "CreateServerSkin").inQuotes(skin).resultNone();
}

void CLI::renameServerSkin(const std::string& skin, const std::string& newName) {
    Command(*this, "RenameServerSkin").inQuotes(skin).keyword("INTO").inQuotes(newName).resultNone();
}

void CLI::deleteServerSkin(const std::string& skin) {
    Command(*this, "DeleteServerSkin").inQuotes(skin).resultNone();
}

DataSet CLI::listServerSkinFiles(const std::string& skin) {
    return Command(*this, "ListServerSkinFiles").inQuotes(skin).resultDataSet();
}

DataSet CLI::readServerSkinFile(const std::string& skin, const std::string& file) {
    return Command(*this, "ReadServerSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).resultDataSet();
}

void CLI::storeServerSkinFile(const std::string& skin, const std::string& file, const std::string& data) {
    Command(*this, "StoreServerSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).keyword("DATA")
        .inQuotes(data).resultNone();
}

void CLI::deleteServerSkinFile(const std::string& skin, const std::string& file) {
    Command(*this, "StoreServerSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).keyword("DELETE")
        .resultNone();
}

// Cluster skins.

void CLI::renameClusterSkin(const std::string& skin, const std::string& newName) {
    Command(*this, "RenameClusterSkin").inQuotes(skin).keyword("INTO").inQuotes(newName).resultNone();
}

DataSet CLI::readClusterSkinFile(const std::string& skin, const std::string& file) {
    return Command(*this, "ReadClusterSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).resultDataSet();
}

void CLI::deleteClusterSkinFile(const std::string& skin, const std::string& file) {
    Command(*this, "StoreClusterSkinFile").inQuotes(skin).keyword("FILE").inQuotes(file).keyword("DELETE")
        .resultNone();
}

// Skins of a domain.

void CLI::createDomainSkin(const std::string& domain, const std::string& skin) {
    Command(*this, "CreateDomainSkin").when(!domain.empty()).word(domain).keyword("SKIN").end().inQuotes(skin)
        .resultNone();
}

void CLI::renameDomainSkin(const std::string& domain, const std::string& skin, const std::string& newName) {
    Command(*this, "RenameDomainSkin").when(!domain.empty()).word(domain).keyword("SKIN").end().inQuotes(skin)
        .keyword("INTO").inQuotes(newName).resultNone();
}

void CLI::deleteDomainSkin(const std::string& domain, const std::string& skin) {
    Command(*this, "DeleteDomainSkin").when(!domain.empty()).word(domain).keyword("SKIN").end().inQuotes(skin)
        .resultNone();
}

DataSet CLI::listDomainSkinFiles(const std::string& domain, const std::string& skin) {
    return Command(*this, "ListDomainSkinFiles").when(!domain.empty()).word(domain).keyword("SKIN").end()
        .inQuotes(skin).resultDataSet();
}

DataSet CLI::readDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file) {
    return Command(*this, "ReadDomainSkinFile").when(!domain.empty()).word(domain).keyword("SKIN").end()
        .inQuotes(skin).keyword("FILE").inQuotes(file).resultDataSet();
}

void CLI::storeDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file,
                              const std::string& data) {
    Command(*this, "StoreDomainSkinFile").when(!domain.empty()).word(domain).keyword("SKIN").end().inQuotes(skin)
        .keyword("FILE").inQuotes(file).keyword("DATA").inQuotes(data).resultNone();
}

void CLI::deleteDomainSkinFile(const std::string& domain, const std::string& skin, const std::string& file) {
    Command(*this, "StoreDomainSkinFile").when(!domain.empty()).word(domain).keyword("SKIN").end().inQuotes(skin)
        .keyword("FILE").inQuotes(file).keyword("DELETE").resultNone();
}

// Web-interface files of a domain.

std::string CLI::getWebUserInterface(const std::string& domain, const std::string& file) {
    return Command(*this, "GetWebUserInterface").word(domain).keyword("FILE").inQuotes(file).resultString();
}

void CLI::deleteWebUserInterface(const std::string& domain, const std::string& file) {
    Command(*this, "DeleteWebUserInterface").word(domain).keyword("FILE").inQuotes(file).resultNone();
}

// Web files of an account.

DataSet CLI::listWebFiles(const std::string& account, const std::string& path) {
    return Command(*this, "ListWebFiles").word(account).when(!path.empty()).keyword("PATH").inQuotes(path).end()
        .resultDataSet();
}

DataSet CLI::getWebFile(const std::string& account, const std::string& file) {
    return Command(*this, "GetWebFile").word(account).keyword("FILE").inQuotes(file).resultDataSet();
}

DataSet CLI::getWebFilePart(const std::string& account, const std::string& file, std::uint64_t offset,
                            std::uint64_t size) {
    return Command(*this, "GetWebFile").word(account).keyword("FILE").inQuotes(file).keyword("OFFSET")
        .number(offset).keyword("SIZE").number(size).resultDataSet();
}

void CLI::putWebFile(const std::string& account, const std::string& file, const std::string& data) {
    Command(*this, "PutWebFile").word(account).keyword("FILE").inQuotes(file).keyword("DATA").word(data)
        .resultNone();
}

void CLI::putWebFileAt(const std::string& account, const std::string& file, const std::string& data,
                       std::uint64_t offset) {
    Command(*this, "PutWebFile").word(account).keyword("FILE").inQuotes(file).keyword("OFFSET").number(offset)
        .keyword("DATA").word(data).resultNone();
}

void CLI::renameWebFile(const std::string& account, const std::string& file, const std::string& newName) {
    Command(*this, "RenameWebFile").word(account).keyword("FILE").inQuotes(file).keyword("INTO").inQuotes(newName)
        .resultNone();
}

void CLI::deleteWebFile(const std::string& account, const std::string& file) {
    Command(*this, "DeleteWebFile").word(account).keyword("FILE").inQuotes(file).resultNone();
}

}  // namespace cgp
