// Running a command as a child process and measuring it: wait4 gives the child's own CPU time and
// peak resident memory, whatever the parent does.
#pragma once

#include <string>
#include <vector>

namespace qv::bench {

struct ChildRun {
  int status = -1;  // exit status; -1 when it could not start or did not exit normally
  double wall = 0;  // elapsed seconds
  double cpu = 0;   // user + system seconds: steady on a loaded machine, unlike wall time
  long peakKiB = 0;
};

// Runs `args` (args[0] looked up in PATH); standard output goes to `stdoutPath` when given.
ChildRun RunChild(const std::vector<std::string>& args, const char* stdoutPath = nullptr);
// The run with the least CPU time of `runs` runs.
ChildRun BestOf(const std::vector<std::string>& args, int runs, const char* stdoutPath = nullptr);

}  // namespace qv::bench
