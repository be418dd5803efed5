#include "host/viewer/viewer_script.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

// A whole decimal number and nothing else; false for anything else or a
// value beyond an int.
bool ParseNumber(const std::string& text, int* value) {
  if (text.empty() || text.size() > 11) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < -2147483647L ||
      parsed > 2147483647L) {
    return false;
  }
  *value = static_cast<int>(parsed);
  return true;
}

std::string LineError(int line, const std::string& what) {
  return "script line " + std::to_string(line) + ": " + what;
}

// One line's words, without the comment.
std::vector<std::string> Words(const std::string& line) {
  const std::string text = line.substr(0, line.find('#'));
  std::istringstream stream(text);
  std::vector<std::string> words;
  std::string word;
  while (stream >> word) {
    words.push_back(word);
  }
  return words;
}

bool ParseLine(const std::vector<std::string>& words, int line, ScriptStep* step,
               std::string* error) {
  const std::string& word = words[0];
  step->line = line;
  if (word == "frames" || word == "shot" || word == "settle") {
    const std::size_t wanted = word == "settle" ? 1 : 2;
    if (words.size() != wanted) {
      *error = LineError(line, word == "settle" ? "settle takes nothing"
                                                : word + " takes one " +
                                                      (word == "shot" ? "file" : "number"));
      return false;
    }
    if (word == "settle") {
      step->kind = ScriptStep::Kind::kSettle;
    } else if (word == "shot") {
      step->kind = ScriptStep::Kind::kShot;
      step->path = words[1];
    } else {
      step->kind = ScriptStep::Kind::kFrames;
      if (!ParseNumber(words[1], &step->number) || step->number < 1 ||
          step->number > kMaxScriptFrames) {
        *error = LineError(line, "frames takes a count of 1.." + std::to_string(kMaxScriptFrames));
        return false;
      }
    }
    return true;
  }
  bool needsArgument = false;
  if (!ActionByName(word, &step->action, &needsArgument)) {
    *error = LineError(line, "unknown word '" + word + "'");
    return false;
  }
  step->kind = ScriptStep::Kind::kAction;
  if (words.size() != (needsArgument ? 2u : 1u)) {
    *error = LineError(line, word + (needsArgument ? " takes one number" : " takes nothing"));
    return false;
  }
  if (needsArgument) {
    std::string reason;
    if (!ParseNumber(words[1], &step->number)) {
      *error = LineError(line, word + " takes one number");
      return false;
    }
    if (!ActionArgumentOk(step->action, step->number, &reason)) {
      *error = LineError(line, word + " " + words[1] + ": " + reason);
      return false;
    }
  }
  return true;
}

}  // namespace

bool ParseScript(const std::string& text, std::vector<ScriptStep>* steps, std::string* error) {
  steps->clear();
  std::istringstream stream(text);
  std::string line;
  int number = 0;
  while (std::getline(stream, line)) {
    ++number;
    const std::vector<std::string> words = Words(line);
    if (words.empty()) {
      continue;
    }
    ScriptStep step;
    if (!ParseLine(words, number, &step, error)) {
      return false;
    }
    steps->push_back(step);
  }
  return true;
}

bool ReadScript(const std::string& path, std::vector<ScriptStep>* steps, std::string* error) {
  // Only a plain file: a pipe or a device could block or never end.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    *error = "cannot read the script " + path + ": not a plain file";
    return false;
  }
  if (info.st_size > kMaxScriptBytes) {
    *error = "the script " + path + " is larger than " + std::to_string(kMaxScriptBytes) + " bytes";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read the script " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string text(static_cast<std::size_t>(info.st_size), '\0');
  const std::size_t read = std::fread(&text[0], 1, text.size(), file);
  std::fclose(file);
  text.resize(read);
  if (text.find('\0') != std::string::npos) {
    *error = "the script " + path + " is not text";
    return false;
  }
  return ParseScript(text, steps, error);
}

std::string ScriptControlHelp() {
  return "  frames N         draw N frames (1..100000)\n"
         "  settle           draw until the view rests at its angle (at most 1000 frames)\n"
         "  shot FILE        draw one frame and write it as a PNG picture\n";
}
