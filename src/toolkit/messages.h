// Window messages: the numbers the window code and other processes use, and the message record
// the toolkit hands to WindowBase::HandleMessage.
#pragma once

#include <cstdint>
#include <string>

namespace SkinUI {

struct Message {
  uint32_t id = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  // WM_COPYDATA: the data bytes (lParam holds dwData); empty stands for a null lParam.
  std::string data;
};

// Standard message numbers that reach a window.
inline constexpr uint32_t kWmMove = 0x0003;             // the window moved; lParam = x | y << 16
inline constexpr uint32_t kWmClose = 0x0010;            // a close request (tray, socket, host)
inline constexpr uint32_t kWmCopyData = 0x004A;         // text from another process (see data)
inline constexpr uint32_t kWmNcLButtonDblClk = 0x00A3;  // double click on a caption area
inline constexpr uint32_t kWmKeyDown = 0x0100;          // wParam = virtual key, lParam = modifiers
inline constexpr uint32_t kWmCommand = 0x0111;          // wParam = menu item id
inline constexpr uint32_t kWmSysCommand = 0x0112;       // wParam = kScClose, kScMinimize, ...
inline constexpr uint32_t kWmTimer = 0x0113;      // window timers (WindowBase::SetWindowTimer)
inline constexpr uint32_t kWmLButtonUp = 0x0202;  // mouse messages, as tray callbacks carry them
inline constexpr uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr uint32_t kWmRButtonUp = 0x0205;
inline constexpr uint32_t kWmRButtonDblClk = 0x0206;
inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t kNinBalloonUserClick = kWmUser + 5;  // the tray balloon was clicked
inline constexpr uint32_t kWmInstallerProgress = 0x046F;       // from product installers

inline constexpr uint64_t kScMinimize = 0xF020;
inline constexpr uint64_t kScClose = 0xF060;  // Alt+F4, the window manager's close

// Virtual key codes of kWmKeyDown and of WindowBase::MessageFilter.
inline constexpr uint32_t kVkBack = 0x08;
inline constexpr uint32_t kVkTab = 0x09;
inline constexpr uint32_t kVkReturn = 0x0D;
inline constexpr uint32_t kVkEscape = 0x1B;
inline constexpr uint32_t kVkSpace = 0x20;
inline constexpr uint32_t kVkEnd = 0x23;
inline constexpr uint32_t kVkHome = 0x24;
inline constexpr uint32_t kVkLeft = 0x25;
inline constexpr uint32_t kVkUp = 0x26;
inline constexpr uint32_t kVkRight = 0x27;
inline constexpr uint32_t kVkDown = 0x28;
inline constexpr uint32_t kVkDelete = 0x2E;
inline constexpr uint32_t kVkF4 = 0x73;
// Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).

// Modifier bits of kWmKeyDown's lParam.
inline constexpr int64_t kModShift = 1;
inline constexpr int64_t kModControl = 2;
inline constexpr int64_t kModAlt = 4;

}  // namespace SkinUI
