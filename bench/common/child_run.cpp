#include "child_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>

extern char** environ;

namespace qv::bench {

ChildRun RunChild(const std::vector<std::string>& args, const char* stdoutPath) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdoutPath) posix_spawn_file_actions_addopen(&actions, 1, stdoutPath, O_WRONLY | O_TRUNC, 0);
  ChildRun r;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return r;
  rusage ru{};
  int status = 0;
  ::wait4(pid, &status, 0, &ru);
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
          static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  r.peakKiB = ru.ru_maxrss;
  return r;
}

ChildRun BestOf(const std::vector<std::string>& args, int runs, const char* stdoutPath) {
  ChildRun best;
  for (int i = 0; i < runs; ++i) {
    ChildRun r = RunChild(args, stdoutPath);
    if (i == 0 || r.cpu < best.cpu) best = r;
  }
  return best;
}

}  // namespace qv::bench
