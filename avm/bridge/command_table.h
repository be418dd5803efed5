#pragma once
// The command interface: Java sends a command code and one integer
// argument. Each code has one handler in the table of commands.cpp; codes
// without a handler change nothing and return 1.
#include <cstdint>

// A handler runs with the scene lock held (except the speed command) and
// returns the command's result.
using CommandHandler = int (*)(int32_t arg);

struct CommandEntry {
  int32_t code;
  CommandHandler handler;
  // Accepted before initialisation: it changes only the start-up settings
  // then.
  bool startup;
  // Runs without the scene lock (one relaxed atomic store).
  bool lockFree;
};

// The entry of a code, or null for codes without a handler.
const CommandEntry* FindCommand(int32_t code);

// The whole dispatch: initialisation check, lock, handler.
int AvmSetCmd(int32_t cmd, int32_t arg);
