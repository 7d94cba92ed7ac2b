// Where a code address lies: the loaded module that holds it and the ELF section inside that
// module's file. Uses no heap, so that a fault handler can call it.
#pragma once

#include <cstddef>
#include <cstdint>

struct CrashLocation {
  bool known = false;
  char module[4096] = {};  // full path of the module's file
  char section[64] = {};   // e.g. ".text"
  uint32_t offset = 0;     // address minus the start of that section
};

// False (and out.known false, texts empty, offset 0) when no loaded module holds the address or
// no allocated section of its file covers it.
bool LocateAddress(uintptr_t address, CrashLocation& out);

// The section of a module file that covers the link-time address vaddr; false when none does or
// the file is no readable ELF file of this machine's class.
bool FindElfSection(const char* path, uintptr_t vaddr, char* name, size_t nameSize,
                    uint32_t& offset);
