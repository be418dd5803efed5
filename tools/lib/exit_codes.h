#pragma once
// Exit statuses shared by the tools, so that scripts can tell failures apart.
namespace tools {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;      // bad arguments; the usage went to standard error
constexpr int kExitIo = 2;         // a file or directory could not be read or written, or generation failed
constexpr int kExitRefused = 3;    // the input is not acceptable (malformed, hostile, too large, wrong kind)
constexpr int kExitNotACar = 4;    // a well-formed package that the renderer could not use as a car

}  // namespace tools
