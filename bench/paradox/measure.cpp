// Runs a command once, its standard output discarded, and prints "CPU ELAPSED PEAK": CPU seconds
// (user + system, to the millisecond, from wait4), elapsed seconds and peak resident memory in
// KiB. Exits with the command's status. GNU time prints CPU seconds to the hundredth only, too
// coarse for a cp that takes four hundredths. Usage: paradox_bench_measure COMMAND [ARG...]
#include <cstdio>
#include <string>
#include <vector>

#include "child_run.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: paradox_bench_measure COMMAND [ARG...]\n");
    return 2;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  const qv::bench::ChildRun run = qv::bench::RunChild(args, "/dev/null");
  std::printf("%.3f %.3f %ld\n", run.cpu, run.wall, run.peakKiB);
  return run.status == 0 ? 0 : 1;
}
