// A sample companion library for castorlaunch, standing in for the real one
// on the host. It says that it ran, optionally records the call in a file
// (CASTORHOST_RECORD) and optionally stays running for a while
// (CASTORHOST_SLEEP_MS), so that tests can see a running "castor" process.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

// The launcher finds the entry by name (dlsym); no header of ours declares it.
extern "C" __attribute__((visibility("default"))) int process_start(int channel);

extern "C" __attribute__((visibility("default"))) int process_start(int channel) {
  std::printf("castorhost: process_start(%d)\n", channel);
  std::fflush(stdout);
  if (const char* record = std::getenv("CASTORHOST_RECORD")) {
    if (FILE* file = std::fopen(record, "a")) {
      std::fprintf(file, "process_start %d\n", channel);
      std::fclose(file);
    }
  }
  if (const char* sleepMs = std::getenv("CASTORHOST_SLEEP_MS")) {
    const long ms = std::strtol(sleepMs, nullptr, 10);
    if (ms > 0) {
      timespec pause{ms / 1000, (ms % 1000) * 1000000L};
      nanosleep(&pause, nullptr);
    }
  }
  return 0;
}
