#include "tests/support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

extern char** environ;

namespace {

// The ELF identification of a file: class, byte order and machine, or empty
// when it is not an ELF file (a script, a missing path).
std::string ElfIdentity(const std::string& path) {
  unsigned char header[20] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(header), sizeof(header)) ||
      std::memcmp(header, "\x7f" "ELF", 4) != 0) {
    return "";
  }
  return {static_cast<char>(header[4]), static_cast<char>(header[5]), static_cast<char>(header[18]),
          static_cast<char>(header[19])};
}

// In a cross build the tests run under a user-mode emulator, named by
// AVM_TEST_EMULATOR as words separated by '|'. A program of the test's own
// architecture that a test starts needs it too: the kernel cannot run it.
// Programs of the build machine (a shell, a script) start directly.
std::vector<std::string> EmulatorFor(const std::string& program) {
  const char* emulator = std::getenv("AVM_TEST_EMULATOR");
  if (emulator == nullptr || *emulator == '\0' || program.find('/') == std::string::npos) {
    return {};
  }
  const std::string identity = ElfIdentity(program);
  if (identity.empty() || identity != ElfIdentity("/proc/self/exe")) {
    return {};
  }
  std::vector<std::string> words;
  std::istringstream text(emulator);
  for (std::string word; std::getline(text, word, '|');) {
    words.push_back(word);
  }
  return words;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  ProgramResult result;
  if (argv.empty()) {
    return result;
  }
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    merged[text.substr(0, text.find('='))] = text;
  }
  for (const std::string& text : environment) {
    merged[text.substr(0, text.find('='))] = text;
  }
  std::vector<std::string> envTexts;
  for (auto& [name, text] : merged) {
    envTexts.push_back(text);
  }
  std::vector<char*> envp;
  for (std::string& text : envTexts) {
    envp.push_back(text.data());
  }
  envp.push_back(nullptr);
  std::vector<std::string> argTexts = EmulatorFor(argv[0]);
  argTexts.insert(argTexts.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (std::string& text : argTexts) {
    args.push_back(text.data());
  }
  args.push_back(nullptr);

  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    result.standardError = std::string("spawn failed: ") + std::strerror(spawned);
    return result;
  }

  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.standardOutput, &result.standardError};
  int open = 2;
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof(buffer));
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "avmtest.XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

TempDir::~TempDir() {
  if (!path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}
