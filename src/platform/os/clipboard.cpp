#include "platform/os/clipboard.h"

#include <mutex>

namespace nuv::os {

namespace {
std::mutex g_readerLock;  // guards g_reader
ClipboardReader g_reader;
}  // namespace

void SetClipboardReader(ClipboardReader reader) {
  std::lock_guard<std::mutex> guard(g_readerLock);
  g_reader = std::move(reader);
}

std::string ClipboardText() {
  ClipboardReader reader;
  {
    std::lock_guard<std::mutex> guard(g_readerLock);
    reader = g_reader;
  }
  // Called outside the lock: the reader may block on the window thread.
  return reader ? reader() : std::string();
}

}  // namespace nuv::os
