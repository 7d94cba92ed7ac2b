#include <ctime>
#include <string>

#include "analytics/common_properties.h"
#include "analytics/usage_tracker.h"
#include "platform/os/files.h"
#include "platform/process_launch.h"
#include "platform/registry.h"
#include "session/nuv_mgr.h"
#include "session/startup_task.h"
#include "log/simple_log.h"
#include "xml/utf.h"

namespace {

constexpr char16_t kCompanionArg[] = u"-startmodel:floatmode";

void PublishStartResult(int result) {
  analytics::CommonProperties& props = analytics::GetCommonProperties();
  props.SetNumber("prodstarttime", static_cast<int64_t>(std::time(nullptr)));
  props.SetNumber("prodstartcode", result);
}

}  // namespace

bool NuvMgr::StartProduct() {
  NuvTask* task = FindStartupTask(*this);
  if (!task) return false;
  // The shell runs it as the desktop user, never with our root rights; without an argument that
  // is the desktop's own way of starting the product.
  const int result = platform::ShellOpen(task->productPath, task->productArg, task->installFolder);
  NUV_LOG(3, "[INFO] startup ret=[%d]:\n product=[%s] \n arg=[%s] \n dir=[%s]", result,
          WideToUtf8(task->productPath).c_str(), WideToUtf8(task->productArg).c_str(),
          WideToUtf8(task->installFolder).c_str());
  PublishStartResult(result);
  analytics::GetUsageTracker().TrackStartProduct(result);
  return result > 32;
}

void NuvMgr::StartCompanion() {
  std::u16string path = platform::GetCompanionInstallName();
  if (!nuv::os::PathExists(WideToUtf8(path))) path.clear();
  const int result = platform::ShellOpen(path, kCompanionArg, u"");
  NUV_LOG(3, "[INFO] startup mhb ret=[%d]:\n product=[%s] \n arg=[%s]", result,
          WideToUtf8(path).c_str(), WideToUtf8(kCompanionArg).c_str());
  PublishStartResult(result);
}
