#pragma once

// Two questions put to the running mail server over its administration protocol, with the
// class-wide connection values of cgp::CLI (defaultHost, defaultPort, defaultUser,
// defaultPassword, defaultLoginMethod). Nothing in the system calls them; they are for
// users of the library.

#include <cstdint>
#include <string>

namespace cgp {

// Whether a connection and login work: false when cgp::CLI::enabled is off; otherwise
// connects with the class defaults, sends "GetCurrentController", quits and returns true.
// Unlike the rest of the directory, it throws: the connection, login and reply errors of the
// administration client (tmg::Exception subclasses) reach the caller.
bool cliAvailable();

// Whether the server answers "GetClusterDomainDefaults" with success (200 or 201). False
// when cgp::CLI::enabled is off. The first answer obtained holds for the rest of the run.
// Until then it answers false without connecting while the default user or password is
// empty, or while fewer than 20 seconds have passed since the last failure. A failure (any
// tmg::Exception of the connection) answers false and, when user, password and port differ
// from those of the last failure reported, writes two log lines: "* Unable to use CLI,
// please verify your settings" and "* CLI module reported: " with the error's text on one
// line (a line feed as "\n", carriage returns dropped). Never throws tmg::Exception.
// Safe from several threads at once: each call that connects uses a connection of its own,
// and the state is kept under a mutex that is never held while connecting.
bool clusterDefaultsViaCli();

namespace probe_testing {

// Replaces the clock of the 20-second wait (seconds since the epoch); null puts the system
// clock back. Set it only while no probe runs.
void setClock(std::int64_t (*now)());
// Forgets the answer, the last failure and the settings last reported.
void forgetState();
// The error text as the second log line gives it.
std::string reportedText(const std::string& message);

}  // namespace probe_testing

}  // namespace cgp
