#pragma once

// For tests only: puts the directory back as a new process has it, so that the tests of
// one process do not see what an earlier test read or set (the main domain is read once
// per process, the caches outlive every load). Internal to directory/ and its tests; the
// mail server's filter never forgets what it read.

namespace cgp::directory_internal {

// Forgets, in one step under the Router mutex and then the cache mutex (the lock order):
// the Router's rows and the stamps of its last load; every directory cache (domains and
// their paths, aliases and their file times, forwarders, groups, lists, IP addresses,
// the fallback domain, the domains given through mergeDomainAliases, the account
// counts); the largest domain-alias time; and the main domain, which the next call of
// mainDomainName() reads again. Inside those it empties the default domain. Then it
// turns the directory and Router traces off and forgets the cluster probe's answer, last
// failure and test clock.
//
// Call it only while no other thread uses the directory, the Router or the probes: the
// main domain's string is emptied in place, so a reference that mainDomainName() gave
// stays valid but is read unguarded. Tests call it before each test starts.
void resetDirectoryForTests();

// Its parts, each defined beside the state it forgets. Each takes its own mutex (all are
// recursive, so resetDirectoryForTests may hold them already).
void forgetMainDomainForTests();      // main_domain.cpp; the cache mutex
void forgetDirectoryCacheForTests();  // directory_cache.cpp; the cache mutex
void forgetRouterLoadForTests();      // router_load.cpp; the Router mutex

}  // namespace cgp::directory_internal
