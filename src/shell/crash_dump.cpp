#include "shell/crash_dump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kMaxFrames = 64;

// A fixed buffer flushed to the file when full; no allocation anywhere.
class DumpWriter {
 public:
  explicit DumpWriter(int fd) : fd_(fd) {}
  ~DumpWriter() { Flush(); }

  DumpWriter& Text(const char* text) {
    for (; *text; ++text) Char(*text);
    return *this;
  }
  DumpWriter& Hex(uint64_t value, int minDigits = 1) {
    char digits[16];
    int n = 0;
    do {
      digits[n++] = "0123456789ABCDEF"[value & 0xF];
      value >>= 4;
    } while (value != 0 && n < 16);
    while (n < minDigits && n < 16) digits[n++] = '0';
    Text("0x");
    while (n > 0) Char(digits[--n]);
    return *this;
  }
  DumpWriter& Dec(int64_t value) {
    if (value < 0) {
      Char('-');
      value = -value;
    }
    char digits[24];
    int n = 0;
    uint64_t v = static_cast<uint64_t>(value);
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (n > 0) Char(digits[--n]);
    return *this;
  }
  void Flush() {
    size_t done = 0;
    while (done < used_) {
      const ssize_t n = write(fd_, buffer_ + done, used_ - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    used_ = 0;
  }

 private:
  void Char(char ch) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = ch;
  }

  int fd_;
  char buffer_[4096];
  size_t used_ = 0;
};

void WriteRegisters(DumpWriter& w, const ucontext_t* uc) {
  if (!uc) return;
#if defined(__x86_64__)
  static const char* const kNames[] = {
      "r8",  "r9",  "r10", "r11", "r12", "r13", "r14",    "r15", "rdi",    "rsi",     "rbp", "rbx",
      "rdx", "rax", "rcx", "rsp", "rip", "efl", "csgsfs", "err", "trapno", "oldmask", "cr2"};
  for (int i = 0; i < NGREG && i < static_cast<int>(sizeof kNames / sizeof kNames[0]); ++i) {
    w.Text(kNames[i]).Text("=").Hex(static_cast<uint64_t>(uc->uc_mcontext.gregs[i]), 16).Text("\n");
  }
#elif defined(__aarch64__)
  for (int i = 0; i < 31; ++i) {
    w.Text("x").Dec(i).Text("=").Hex(uc->uc_mcontext.regs[i], 16).Text("\n");
  }
  w.Text("sp=").Hex(uc->uc_mcontext.sp, 16).Text("\n");
  w.Text("pc=").Hex(uc->uc_mcontext.pc, 16).Text("\n");
  w.Text("pstate=").Hex(uc->uc_mcontext.pstate, 16).Text("\n");
#elif defined(__i386__)
  for (int i = 0; i < NGREG; ++i) {
    w.Text("greg")
        .Dec(i)
        .Text("=")
        .Hex(static_cast<uint32_t>(uc->uc_mcontext.gregs[i]), 8)
        .Text("\n");
  }
#else
  w.Text("(registers of this machine are not written)\n");
#endif
}

void CopyFile(DumpWriter& w, int out, const char* path) {
  w.Flush();
  const int in = open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  char chunk[4096];
  // /proc/self/maps is small; the bound keeps a runaway file from holding the handler.
  for (int rounds = 0; rounds < 4096; ++rounds) {
    const ssize_t n = read(in, chunk, sizeof chunk);
    if (n <= 0) break;
    if (write(out, chunk, static_cast<size_t>(n)) != n) break;
  }
  close(in);
}

}  // namespace

bool WriteCrashDump(const char* path, const CrashFacts& f, bool withBacktrace) {
  // Always a new file: an older dump (or anything planted at the name) goes first.
  unlink(path);
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  {
    DumpWriter w(fd);
    w.Text("signal=").Dec(f.signal).Text("\n");
    w.Text("signal_code=").Dec(f.signalCode).Text("\n");
    w.Text("code=").Hex(f.code, 8).Text("\n");
    w.Text("address=").Hex(f.address, 8).Text("\n");
    w.Text("fault_address=").Hex(f.faultAddress, 8).Text("\n");
    if (f.location && f.location->known) {
      w.Text("module=").Text(f.location->module).Text("\n");
      w.Text("section=").Text(f.location->section).Text("\n");
      w.Text("offset=").Hex(f.location->offset, 8).Text("\n");
    } else {
      w.Text("module=\nsection=\noffset=0x00000000\n");
    }
    w.Text("\n[registers]\n");
    WriteRegisters(w, f.context);
    w.Text("\n[maps]\n");
    CopyFile(w, fd, "/proc/self/maps");
    w.Text("\n[backtrace]\n");
    w.Flush();
    if (withBacktrace) {
      void* frames[kMaxFrames];
      const int n = backtrace(frames, kMaxFrames);
      backtrace_symbols_fd(frames, n, fd);
    } else {
      w.Text("(not available)\n");
    }
  }
  close(fd);
  return true;
}

void PrepareCrashBacktrace() {
  void* frames[2];
  backtrace(frames, 2);
}
