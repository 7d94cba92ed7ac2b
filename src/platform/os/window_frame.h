// The frames spoken on a window's socket, in place of messages sent to a window handle by other
// processes.
//
// Address: the abstract Unix stream socket "@nuv-window-<HANDLE in %X>" (upper-case hexadecimal,
// no prefix), one per top-level window.
//
// A frame is a 24-byte header followed by `length` payload bytes, all in host byte order (both
// ends run on one machine):
//
//   offset 0  uint32 magic    kWindowFrameMagic
//   offset 4  uint32 kind     WindowFrameKind
//   offset 8  uint32 message  window message number (kind Post and Send)
//   offset 12 uint32 length   payload bytes, at most kMaxWindowFramePayload
//   offset 16 uint64 wParam
//
// Kinds:
//   Post     message + wParam, no answer (PostMessage). Installer progress: message 0x046F,
//            wParam = percent, no payload.
//   Send     message + wParam + payload; the window answers with an Ack frame once it has handled
//            it (SendMessage). WM_COPYDATA: message 0x004A, wParam = the COPYDATASTRUCT's dwData,
//            payload = its data bytes (a NUL-terminated UTF-16 text for installer texts); an empty
//            payload stands for a null lParam.
//   Activate bring the window to the front (restore it when minimised); no answer.
//   Query    the window answers with an Identity frame whose payload is the class name, one NUL
//            byte and the title, both UTF-8.
// A client may send several frames on one connection; a frame with a bad magic, an unknown kind
// or an oversized length ends the connection. Only peers running as root or as the window's own
// user are served, as an elevated window takes messages only from processes as privileged.
#pragma once

#include <cstdint>
#include <string>

namespace nuv::os {

inline constexpr uint32_t kWindowFrameMagic = 0x5756554E;  // "NUVW" read little-endian
inline constexpr uint32_t kMaxWindowFramePayload = 64 * 1024;
inline constexpr const char* kWindowSocketPrefix = "nuv-window-";

inline constexpr uint32_t kMsgInstallerProgress = 0x046F;
inline constexpr uint32_t kMsgCopyData = 0x004A;

enum class WindowFrameKind : uint32_t {
  Post = 1,
  Send = 2,
  Activate = 3,
  Query = 4,
  Ack = 5,
  Identity = 6,
};

struct WindowFrameHeader {
  uint32_t magic = kWindowFrameMagic;
  uint32_t kind = 0;
  uint32_t message = 0;
  uint32_t length = 0;
  uint64_t wParam = 0;
};
static_assert(sizeof(WindowFrameHeader) == 24);

struct WindowFrame {
  WindowFrameKind kind = WindowFrameKind::Post;
  uint32_t message = 0;
  uint64_t wParam = 0;
  std::string payload;
};

// "nuv-window-1A2B" for handle 0x1A2B (without the leading NUL of the abstract address).
std::string WindowSocketName(uint32_t handle);

}  // namespace nuv::os
