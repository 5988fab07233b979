#pragma once

#include <string>

// Quotes `s` for a POSIX shell command line.
std::string ShellQuote(const std::string& s);

// Runs `command` through the shell and returns what it wrote to stdout.
// `status` (optional) receives the exit status, or -1 when the command did
// not exit normally or could not be started.
std::string RunCommand(const std::string& command, int* status = nullptr);

// Runs `command` through the shell, its output going where ours goes; the
// exit status, or -1 as above.
int RunShell(const std::string& command);
