#include "run_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  if (status) *status = -1;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

int RunShell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
