// A process that just stays alive for the given number of seconds, so that
// tests can place executables under chosen names in the process table.
#include <unistd.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  for (int i = 0; i < seconds * 10; ++i) {
    usleep(100000);
  }
  return 0;
}
