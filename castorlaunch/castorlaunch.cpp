// castorlaunch: makes sure at most one companion process named "castor" runs.
// It counts the processes whose executable is called "castor"; with fewer than
// two (the launcher itself counts once when installed under that name) it sets
// the channel property if one was given with -c, then loads the companion
// library into its own process and runs its entry point.
#include <dirent.h>
#include <dlfcn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kProcessName = "castor";
constexpr const char* kCompanionLibrary = "libcastorhost.so";
constexpr const char* kCompanionEntry = "process_start";
constexpr const char* kPropertyName = "rw.castor.channel";
constexpr const char* kPropertyCommandPrefix = "setprop rw.castor.channel ";
constexpr std::size_t kCommandBufferSize = 256;
// Room for 32 entries, the last used one followed by a 0 entry.
constexpr int kPidListEntries = 32;
constexpr std::size_t kLinkBufferSize = 4096;

using ProcessStartFunction = int (*)(int);

// Runs setprop with the channel as one argument of its own. No shell ever
// sees the channel, so text such as "7; reboot" or "$(reboot)" is only a value.
void SetChannelProperty(const char* channel) {
  char command[kCommandBufferSize];
  std::memset(command, 0, sizeof(command));
  const int length = std::snprintf(command, sizeof(command), "%s%s", kPropertyCommandPrefix, channel);
  if (length < 0 || static_cast<std::size_t>(length) >= sizeof(command)) {
    std::fprintf(stderr,
                 "castorlaunch: channel of %zu bytes is too long: the property command must fit "
                 "%zu bytes; %s is not set\n",
                 std::strlen(channel), kCommandBufferSize, kPropertyName);
    return;
  }
  std::printf("cmd = %s\n", command);
  std::fflush(stdout);

  char program[] = "setprop";
  char property[] = "rw.castor.channel";
  char* const argv[] = {program, property, const_cast<char*>(channel), nullptr};
  // fork and execvp rather than posix_spawnp, which the platform's C library
  // has only from API level 28: the launcher is built for older head units.
  // The launcher has one thread here, and the child only execs or exits:
  // it never returns into this program, which would start the companion a
  // second time.
  const pid_t child = fork();
  if (child == 0) {
    execvp(program, argv);
    _exit(127);
  }
  // The property command's outcome is not looked at: the companion starts
  // whether or not the property could be set.
  if (child > 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

int find_pid_by_name(const char* name, pid_t* list) {
  list[0] = 0;
  int count = 0;
  const std::size_t nameLength = std::strlen(name);

  DIR* proc = opendir("/proc");
  if (proc == nullptr) {
    std::printf("cannot open /proc");
    return -1;
  }
  while (const dirent* entry = readdir(proc)) {
    const int pid = std::atoi(entry->d_name);
    if (pid == 0) {
      continue;  // not a process directory
    }
    char linkPath[kLinkBufferSize + 1];
    std::snprintf(linkPath, sizeof(linkPath), "/proc/%s/exe", entry->d_name);
    char target[kLinkBufferSize];
    const ssize_t targetLength = readlink(linkPath, target, sizeof(target) - 1);
    if (targetLength < 0) {
      continue;  // gone meanwhile, or another user's process
    }
    target[targetLength] = '\0';

    const char* slash = std::strrchr(target, '/');
    if (slash == nullptr) {
      continue;
    }
    const char* baseName = slash + 1;
    if (std::strlen(baseName) < nameLength || std::strncmp(baseName, name, nameLength) != 0) {
      continue;
    }
    // "castor" and "castor (deleted)" match; "castord" and "castor-old" do not.
    const char next = baseName[nameLength];
    if (next != ' ' && next != '\0') {
      continue;
    }
    if (count < kPidListEntries - 1) {
      list[count] = pid;
    }
    ++count;
  }
  list[count < kPidListEntries - 1 ? count : kPidListEntries - 1] = 0;
  closedir(proc);
  return count;
}

int check_process_by_name(const char* name) {
  pid_t list[kPidListEntries];
  return find_pid_by_name(name, list);
}

void run_process(const char* file, const char* symbol) {
  void* library = dlopen(file, RTLD_LAZY);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return;
  }
  // A library without the entry point is reported and never called into.
  dlerror();
  auto start = reinterpret_cast<ProcessStartFunction>(dlsym(library, symbol));
  if (start == nullptr) {
    const char* error = dlerror();
    std::fprintf(stderr, "castorlaunch: %s has no %s: %s\n", file, symbol,
                 error != nullptr ? error : "symbol is null");
    dlclose(library);
    return;
  }
  std::printf("process_channel = 1\n");
  std::fflush(stdout);
  start(1);
  dlclose(library);
}

}  // namespace

int main(int argc, char** argv) {
  char* channel = nullptr;
  int option = 0;
  while ((option = getopt(argc, argv, "c:")) != -1) {
    if (option == 'c') {
      std::free(channel);
      channel = strdup(optarg);
    }
  }

  if (check_process_by_name(kProcessName) >= 2) {
    std::printf("castor is running\n");
    std::free(channel);
    return -1;
  }

  if (channel != nullptr) {
    SetChannelProperty(channel);
    std::free(channel);
  }

  run_process(kCompanionLibrary, kCompanionEntry);
  return 1;
}
