// How a session ended, sent as the common analytics property "closetype" before it ends.
#pragma once

inline constexpr char kCloseTypeProperty[] = "closetype";

enum class CloseType : int {
  kRun = 0,                // Run; Install done in fork mode
  kTrayExit = 1,           // tray exit, also a failure after the last retry once it was chosen
  kSystemClose = 2,        // SC_CLOSE while the download page is not visible
  kCloseBefore = 3,        // close on the before page
  kCloseAfter = 4,         // close on the after page
  kFullPackage = 8,        // the full package download; a failure after the last retry in fork mode
  kCloseFailed = 9,        // close on the failed page
  kSendReport = 10,        // send report
  kProductCancelled = 11,  // the main product's download was cancelled
  kNoX86Support = 12,      // the package does not support 32-bit systems
};
