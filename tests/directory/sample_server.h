#pragma once

#include <string>

#include "directory/domains.h"
#include "tests/directory/base_folder.h"

// The directory's trace lines are written while the object lives.
struct DirectoryTrace {
    DirectoryTrace() { cgp::directoryVerbose = true; }
    ~DirectoryTrace() { cgp::directoryVerbose = false; }
};

// A small server base folder with one of each thing the directory reads:
//   main domain example.com in Accounts, with domain aliases, account aliases,
//     forwarders (chains, a loop, an empty-domain target), groups, IP settings, lists
//     and accounts of every layout (.macnt with mailboxes, .mdir, .mbox, one in a .sub,
//     a hidden one and a plain file);
//   local domain other.test, also found under SharedDomains; shared domain shared.test;
//   ignored folders Domains/Upper and Domains/settings; based.test in the shared base
//   "Base".
inline void writeSampleServer(const BaseFolder& base) {
    base.mainSettings("Example.COM");
    base.write("Accounts/Settings/domainAliases.data", "(Mail.Example.com, ex.org)");
    base.write("Accounts/Settings/aliases.data", "{Bob = (Robert, bobby); alice = (Ali); Fw1 = (ToFw);}");
    base.write("Accounts/Settings/forwarders.data",
               "{fw1 = fw2; fw2 = \"Carol@Other.Test\"; fwlocal = \"bob@\"; tobobby = \"bobby@example.com\";"
               " loopa = loopb; loopb = loopa; empty = \"\";}");
    base.write("Accounts/Settings/groups.data", "{Staff = {Members = (bob, alice);}; team = Team;}");
    base.write("Accounts/Settings/domain.settings", "{IPAddresses = (\"10.0.0.1\", \"[10.0.0.2]\"); IPMode = \"all available\";}");
    base.write("Accounts/LISTS/News.list", "");
    base.write("Accounts/LISTS/my-list.list", "");
    base.write("Accounts/LISTS/readme.txt", "");
    base.write("Accounts/bob.macnt/INBOX.mbox", "");
    base.folder("Accounts/bob.macnt/Sent.mdir");
    base.folder("Accounts/bob.macnt/Work.folder/Projects.mdir");
    base.write("Accounts/bob.macnt/Work.folder/Old.mbox", "");
    base.folder("Accounts/bob.macnt/Entw&APw-rfe.mdir");
    base.folder("Accounts/carol.mdir");
    base.folder("Accounts/dave.mbox");
    base.folder("Accounts/eve.sub/frank.macnt/INBOX.mdir");
    base.folder("Accounts/.hidden.macnt");
    base.write("Accounts/plain.mbox.macnt", "");

    base.write("Domains/other.test/Settings/domain.settings", "{IPAddresses = (\"10.0.0.3\"); IPMode = \"All Available\";}");
    base.write("Domains/other.test/Settings/forwarders.data", "{away = \"carol@example.com\";}");
    base.folder("Domains/other.test/carol.macnt");
    base.folder("Domains/Upper");
    base.folder("Domains/settings");
    base.write("Domains/notafolder", "");
    base.folder("SharedDomains/other.test");
    base.folder("SharedDomains/shared.test/sam.mdir");
    base.folder("SharedDomains/settings");
    base.folder("Base/based.test");
}
