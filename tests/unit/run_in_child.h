// The whole program run in a child process of the test, as a shell would run it: in a folder of
// its own, its standard output and error into console.txt and errors.txt there. A fault's handler
// or a hook of the run ends only the child.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "walk_fixture.h"

namespace orvalis::test {

struct ChildRun {
  int Status = -1;  // -1: the child did not exit
  std::string Console;
  std::string Errors;
};

// Runs orvalis with `args` in `dir`; `before` runs in the child first (to set a hook, say).
template <typename Before>
ChildRun RunInChild(const std::filesystem::path& dir, const std::vector<std::string>& args, Before before) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0 || !std::freopen("console.txt", "wb", stdout) ||
        !std::freopen("errors.txt", "wb", stderr)) {
      _exit(99);
    }
    before();
    std::vector<const char*> argv = {"orvalis"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    _exit(RunOrvalis(static_cast<int>(argv.size()), argv.data()) & 0xFF);
  }
  ChildRun run;
  int waited = 0;
  if (child < 0 || waitpid(child, &waited, 0) != child || !WIFEXITED(waited)) return run;
  run.Status = WEXITSTATUS(waited);
  run.Console = ReadFile(dir / "console.txt");
  run.Errors = ReadFile(dir / "errors.txt");
  return run;
}

}  // namespace orvalis::test
