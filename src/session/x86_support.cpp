#include "session/nuv_mgr.h"
#include "log/simple_log.h"
#include "xml/utf.h"

bool NuvMgr::IsNotSupportX86() {
  NUV_LOG(3, "[INFO] IsNotSupportX86 local config = %s", WideToUtf8(NotSupportWin32).c_str());
  NUV_LOG(3, "[INFO] IsNotSupportX86 server config = %s",
          WideToUtf8(server.not_support_win32).c_str());
  if (!server.not_support_win32.empty()) {
    NUV_LOG(3, "[INFO] IsNotSupportX86 use server judge");
    return server.not_support_win32 == u"1";
  }
  NUV_LOG(3, "[INFO] IsNotSupportX86 use local judge");
  return NotSupportWin32 == u"1";
}
