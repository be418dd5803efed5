// The launcher is run as a real process against real processes placed in the
// process table under chosen executable names, a companion library of the
// project, and a setprop stand-in that records its arguments.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_runner.h"

namespace {

namespace fs = std::filesystem;

const std::string kRunningLine = "castor is running\n";
const std::string kStartedLine = "process_channel = 1\n";

std::string ExeBaseName(pid_t pid) {
  char target[4096];
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
  if (length < 0) {
    return "";
  }
  target[length] = '\0';
  const std::string text = target;
  return text.substr(text.rfind('/') + 1);
}

// Counts "castor" processes the way the launcher is meant to, so a test can
// tell a dirty machine from a launcher fault.
int CountCastorProcesses() {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const pid_t pid = std::atoi(entry.path().filename().c_str());
    if (pid == 0) {
      continue;
    }
    const std::string base = ExeBaseName(pid);
    if (base == "castor" || base.rfind("castor ", 0) == 0) {
      ++count;
    }
  }
  return count;
}

class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_EQ(CountCastorProcesses(), 0) << "a process named castor is already running on this machine";
    fs::create_directories(dir_ / "bin");
    // setprop stand-in: one recorded argument per line.
    ASSERT_TRUE(WriteFile(dir_ / "bin/setprop",
                          "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$SETPROP_RECORD\"; done\n"));
    chmod((dir_ / "bin/setprop").c_str(), 0755);
  }

  void TearDown() override {
    for (pid_t pid : started_) {
      kill(pid, SIGKILL);
      int status = 0;
      waitpid(pid, &status, 0);
    }
  }

  // Copies a program into the test folder under the given file name.
  std::string Install(const std::string& source, const std::string& name) {
    const std::string target = dir_ / name;
    fs::create_directories(fs::path(target).parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    chmod(target.c_str(), 0755);
    return target;
  }

  // Starts a sleeper under the given executable name and waits until the
  // process table shows it under that name.
  pid_t StartAs(const std::string& name) {
    const std::string path = Install(SLEEPER_PATH, name);
    std::vector<char*> argv = {const_cast<char*>(path.c_str()), const_cast<char*>("30"), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    started_.push_back(pid);
    const std::string baseName = fs::path(name).filename().string();
    for (int i = 0; i < 1000 && ExeBaseName(pid) != baseName; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ExeBaseName(pid), baseName);
    return pid;
  }

  // PATH holds the setprop stand-in first, unless the test gives its own.
  ProgramResult Launch(const std::string& program, const std::vector<std::string>& args,
                       const std::string& libraryDir = COMPANION_DIR, std::string searchPath = "") {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    if (searchPath.empty()) {
      const char* path = std::getenv("PATH");
      searchPath = (dir_ / "bin") + ":" + (path != nullptr ? path : "/usr/bin:/bin");
    }
    return RunProgram(argv, {"PATH=" + searchPath, "LD_LIBRARY_PATH=" + libraryDir,
                             "CASTORHOST_RECORD=" + (dir_ / "companion.txt"),
                             "SETPROP_RECORD=" + (dir_ / "setprop.txt")});
  }

  std::string CompanionRecord() { return ReadFile(dir_ / "companion.txt"); }
  std::string SetpropRecord() { return ReadFile(dir_ / "setprop.txt"); }
  bool SetpropRan() { return FileExists(dir_ / "setprop.txt"); }

  TempDir dir_;
  std::vector<pid_t> started_;
};

TEST_F(Launcher, WithoutOtherInstanceOrChannelStartsTheCompanionOnly) {
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput, kStartedLine + "castorhost: process_start(1)\n");
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
  EXPECT_FALSE(SetpropRan());
}

TEST_F(Launcher, InstalledAsCastorCountsItselfOnceAndStarts) {
  const std::string castor = Install(CASTORLAUNCH_PATH, "castor");
  const ProgramResult run = Launch(castor, {});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
}

TEST_F(Launcher, SecondInstanceRefusesWithoutPropertyOrCompanion) {
  StartAs("castor");
  const std::string castor = Install(CASTORLAUNCH_PATH, "castor2/castor");
  const ProgramResult run = Launch(castor, {"-c", "7"});
  EXPECT_EQ(run.exitStatus, 255);
  EXPECT_EQ(run.standardOutput, kRunningLine);
  EXPECT_FALSE(SetpropRan());
  EXPECT_EQ(CompanionRecord(), "");

  // Two other castor processes stop a launcher of any name as well.
  StartAs("castor3/castor");
  const ProgramResult plain = Launch(CASTORLAUNCH_PATH, {});
  EXPECT_EQ(plain.exitStatus, 255);
  EXPECT_EQ(plain.standardOutput, kRunningLine);
}

TEST_F(Launcher, MatchesTheExactNameOrTheNameFollowedByASpace) {
  StartAs("castor-old");
  StartAs("castord");
  StartAs("castorx");
  const std::string castor = Install(CASTORLAUNCH_PATH, "launcher/castor");
  ProgramResult run = Launch(castor, {});
  EXPECT_EQ(run.exitStatus, 1) << "castor-old, castord and castorx must not count";

  StartAs("castor with more text");
  run = Launch(castor, {});
  EXPECT_EQ(run.exitStatus, 255);
  EXPECT_EQ(run.standardOutput, kRunningLine);
}

TEST_F(Launcher, DeletedExecutableStillCounts) {
  // The kernel shows a running program whose file was removed as
  // "castor (deleted)": the base name, a space and more text.
  StartAs("gone/castor");
  fs::remove(dir_ / "gone/castor");
  const std::string castor = Install(CASTORLAUNCH_PATH, "castor");
  const ProgramResult run = Launch(castor, {});
  EXPECT_EQ(run.exitStatus, 255);
  EXPECT_EQ(run.standardOutput, kRunningLine);
}

TEST_F(Launcher, ChannelIsPrintedAndSetBeforeTheCompanionStarts) {
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {"-c", "7"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput,
            "cmd = setprop rw.castor.channel 7\n" + kStartedLine + "castorhost: process_start(1)\n");
  EXPECT_EQ(SetpropRecord(), "rw.castor.channel\n7\n");
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
}

TEST_F(Launcher, LastChannelWinsAndOtherArgumentsAreIgnored) {
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {"-c", "a", "-x", "-c", "b", "extra"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput.find("cmd = setprop rw.castor.channel b\n"), 0u);
  EXPECT_EQ(SetpropRecord(), "rw.castor.channel\nb\n");
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
}

TEST_F(Launcher, ChannelTextIsNeverRunAsShellCode) {
  const std::string marker = dir_ / "ran";
  const std::vector<std::string> channels = {"7; touch " + marker, "$(touch " + marker + ")",
                                             "`touch " + marker + "`", "7 && touch " + marker + " | cat"};
  for (const std::string& channel : channels) {
    fs::remove(dir_ / "setprop.txt");
    const ProgramResult run = Launch(CASTORLAUNCH_PATH, {"-c", channel});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.standardOutput.find("cmd = setprop rw.castor.channel " + channel + "\n"), 0u);
    // The whole text arrives as the one value of the property.
    EXPECT_EQ(SetpropRecord(), "rw.castor.channel\n" + channel + "\n");
    EXPECT_FALSE(FileExists(marker)) << channel;
  }
}

TEST_F(Launcher, ChannelThatWouldOverrunTheCommandBufferIsRefused) {
  // "setprop rw.castor.channel " is 26 bytes; with the terminating zero a
  // channel of 229 bytes fills the 256-byte command exactly.
  const std::string fits(229, '9');
  ProgramResult run = Launch(CASTORLAUNCH_PATH, {"-c", fits});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(SetpropRecord(), "rw.castor.channel\n" + fits + "\n");

  fs::remove(dir_ / "setprop.txt");
  fs::remove(dir_ / "companion.txt");
  const std::string tooLong(230, '9');
  run = Launch(CASTORLAUNCH_PATH, {"-c", tooLong});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput.find("cmd = "), std::string::npos);
  EXPECT_NE(run.standardError.find("too long"), std::string::npos) << run.standardError;
  EXPECT_FALSE(SetpropRan());
  // The companion still starts, as after any failed property command.
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
}

// The property command is a child process of its own. When it cannot be
// started the child must end there: a child that returned into the launcher
// would start the companion a second time.
TEST_F(Launcher, WithoutSetpropTheCompanionStillStartsOnce) {
  fs::create_directories(dir_ / "empty");
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {"-c", "7"}, COMPANION_DIR, dir_ / "empty");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput,
            "cmd = setprop rw.castor.channel 7\n" + kStartedLine + "castorhost: process_start(1)\n");
  EXPECT_EQ(CompanionRecord(), "process_start 1\n");
  EXPECT_FALSE(SetpropRan());
}

TEST_F(Launcher, MissingCompanionLibraryIsReportedWithTheLoaderText) {
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {}, dir_ / "empty");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_NE(run.standardError.find("libcastorhost.so"), std::string::npos) << run.standardError;
}

TEST_F(Launcher, CompanionWithoutEntryPointIsReportedAndNotCalled) {
  const ProgramResult run = Launch(CASTORLAUNCH_PATH, {}, COMPANION_WITHOUT_ENTRY_DIR);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.standardOutput, "");
  EXPECT_NE(run.standardError.find("process_start"), std::string::npos) << run.standardError;
  EXPECT_EQ(CompanionRecord(), "");
}

// The Android build names the oldest platform the launcher runs on; every C
// library function it calls must exist there. The host build's imports name
// the same functions (the table maps the host C library's own names for
// errno and the fortified variants; a sanitizer tree adds its runtime's).
// Levels come from the platform C library's symbol lists: 0 for a function
// every level has.
TEST(LauncherPlatform, CallsOnlyCLibraryFunctionsThatTheOldestPlatformHas) {
  const std::map<std::string, int> kFirstLevel = {
      {"_exit", 0},    {"atoi", 0},     {"closedir", 0}, {"dlclose", 0},  {"dlerror", 0},
      {"dlopen", 0},   {"dlsym", 0},    {"errno", 0},    {"execvp", 0},   {"fflush", 0},
      {"fork", 0},     {"fprintf", 0},  {"free", 0},     {"getopt", 0},   {"memset", 0},
      {"opendir", 0},  {"optarg", 0},   {"printf", 0},   {"puts", 0},     {"readdir", 0},
      {"readlink", 0}, {"snprintf", 0}, {"strdup", 0},   {"strlen", 0},   {"strncmp", 0},
      {"strrchr", 0},  {"strtol", 0},   {"waitpid", 0},  {"stderr", 23},  {"stdout", 23},
      {"posix_spawn", 28}, {"posix_spawnp", 28}};
  // Start-up and run-time support the toolchain adds; nothing the launcher calls.
  const std::vector<std::string> kToolchain = {"__libc_start_main", "__cxa_atexit", "__stack_chk_fail"};
  const std::regex sanitizerRuntime(R"(__(asan|ubsan|tsan|lsan|sanitizer)_\w+)");

  // The level the Android build instructions configure.
  const std::string building = ReadFile(std::string(PROJECT_SOURCE_DIR) + "/docs/building.md");
  const std::regex platform(R"(ANDROID_PLATFORM=android-([0-9]+))");
  int level = 0;
  for (auto it = std::sregex_iterator(building.begin(), building.end(), platform); it != std::sregex_iterator(); ++it) {
    const int named = std::stoi((*it)[1].str());
    level = level == 0 ? named : std::min(level, named);
  }
  ASSERT_GT(level, 0) << "docs/building.md names no Android platform level";

  const ProgramResult imports = RunProgram({"nm", "-D", "--undefined-only", "--format=posix", CASTORLAUNCH_PATH});
  ASSERT_EQ(imports.exitStatus, 0) << imports.standardError;
  std::stringstream lines(imports.standardOutput);
  std::string line;
  int checked = 0;
  while (std::getline(lines, line)) {
    // posix format: "<name>[@<version>] <type>"; weak references ("w", "v")
    // are the toolchain's optional hooks.
    std::smatch entry;
    if (!std::regex_match(line, entry, std::regex(R"(([^@ ]+)(@\S*)? ([A-Za-z])( .*)?)")) ||
        entry[3].str() != "U") {
      continue;
    }
    std::string name = entry[1].str();
    if (std::find(kToolchain.begin(), kToolchain.end(), name) != kToolchain.end() ||
        std::regex_match(name, sanitizerRuntime)) {
      continue;
    }
    if (name == "__errno_location") {
      name = "errno";
    }
    std::smatch fortified;
    if (std::regex_match(name, fortified, std::regex(R"(__(\w+)_chk)"))) {
      name = fortified[1].str();
    }
    const auto known = kFirstLevel.find(name);
    ASSERT_NE(known, kFirstLevel.end()) << name << ": look up the first platform level that has it";
    EXPECT_LE(known->second, level) << name << " needs API level " << known->second << "; the Android build names "
                                    << level;
    ++checked;
  }
  EXPECT_GT(checked, 10) << "no C library imports read from " << CASTORLAUNCH_PATH;
}

}  // namespace
