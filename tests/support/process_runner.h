#pragma once
// Runs a program as a child process, the way a shell or a script would, and
// gives back what it printed and how it ended. Used to test the command-line
// programs of the project.
#include <string>
#include <vector>

struct ProgramResult {
  int exitStatus = -1;  // exit status 0..255, or -1 when it did not exit normally
  std::string standardOutput;
  std::string standardError;
};

// argv[0] is the program's path (or a name looked up on PATH). environment
// entries "NAME=value" are added to, or replace those of, this process's
// environment.
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {});

// A fresh directory under the system's temporary folder, removed with all its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Whole-file helpers for test fixtures.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);
