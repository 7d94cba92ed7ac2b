// The frames another process writes to a window's socket, read by the listener's frame reader
// over a real socket pair: every frame read is exactly the bytes that were sent for it.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_support.h"
#include "platform/os/window_socket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using nuv::os::WindowFrame;
  using nuv::os::WindowFrameHeader;
  // Well under the socket's buffer, so that the whole input is written before it is read.
  if (size > 128 * 1024) return 0;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fds[0], data + done, size - done);
    FUZZ_CHECK(n > 0);
    done += static_cast<size_t>(n);
  }
  shutdown(fds[0], SHUT_WR);

  size_t offset = 0;
  WindowFrame frame;
  for (int count = 0; count < 1024 && nuv::os::ReadWindowFrame(fds[1], &frame); ++count) {
    FUZZ_CHECK(offset + sizeof(WindowFrameHeader) <= size);
    WindowFrameHeader header;
    std::memcpy(&header, data + offset, sizeof header);
    FUZZ_CHECK(header.magic == nuv::os::kWindowFrameMagic);
    FUZZ_CHECK(header.kind == static_cast<uint32_t>(frame.kind));
    FUZZ_CHECK(header.message == frame.message && header.wParam == frame.wParam);
    FUZZ_CHECK(header.length == frame.payload.size());
    FUZZ_CHECK(frame.payload.size() <= nuv::os::kMaxWindowFramePayload);
    offset += sizeof header;
    FUZZ_CHECK(offset + frame.payload.size() <= size);
    FUZZ_CHECK(std::memcmp(data + offset, frame.payload.data(), frame.payload.size()) == 0);
    offset += frame.payload.size();
  }
  close(fds[0]);
  close(fds[1]);
  return 0;
}
