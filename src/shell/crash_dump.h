// The dump a crash leaves beside the program: a text file with the signal, its code, the fault
// and instruction addresses, the registers, the memory map and a backtrace. Written with plain
// system calls and no heap, from inside a fault handler.
#pragma once

#include <signal.h>

#include <cstdint>

#include "shell/crash_locate.h"

struct CrashFacts {
  int signal = 0;
  int signalCode = 0;
  uint32_t code = 0;           // signal << 16 | (signal code & 0xFFFF)
  uintptr_t address = 0;       // the faulting instruction
  uintptr_t faultAddress = 0;  // si_addr
  const CrashLocation* location = nullptr;
  const ucontext_t* context = nullptr;
};

// Replaces any earlier dump at path; false when the file can't be created. The backtrace comes
// last: unwinding through a wild instruction address can fault, and the caller may then write the
// dump again without it.
bool WriteCrashDump(const char* path, const CrashFacts& facts, bool withBacktrace = true);

// Makes the first backtrace outside the handler, so the unwinder is loaded before any fault.
void PrepareCrashBacktrace();
