#pragma once
// The command table as test cases, run once straight against the library
// and once through the Java class in a real VM.
#include <functional>
#include <vector>

struct ViewParam;

struct CommandCase {
  const char* what;
  int cmd;
  int arg;
  // Sets the fields the case starts from (may be empty).
  std::function<void(ViewParam&)> prepare;
  int result;
  // Checks the fields afterwards; empty: the command must change nothing
  // in the scene record at all.
  std::function<void(const ViewParam&)> check;
  // Notification codes Java must receive, in order (checked only where the
  // runner can see them).
  std::vector<int> notifications = {};
};

std::vector<CommandCase> CommandTableCases();

// Runs every case on the initialised library, each with its own fresh
// record (initialise is called before each case).
void RunCommandCases(const std::function<void()>& initialise,
                     const std::function<int(int cmd, int arg)>& setCmd,
                     const std::function<std::vector<int>()>& takeNotifications);
