// Whether the product's .NET Framework is missing, and the task that downloads it.
#include <memory>

#include "analytics/common_properties.h"
#include "platform/dotnet.h"
#include "session/nuv_mgr.h"

bool NuvMgr::CheckDotnet() {
  const std::u16string minVersion = EffectiveDotnet().first;
  if (minVersion.empty()) return true;
  // The 2.0 registry entries survive broken runtimes; only loading its libraries tells.
  if (minVersion == u"2.0") return platform::RunEmbeddedNetChecker(configFolder);
  return platform::IsNetVersionInstalled(minVersion);
}

void NuvMgr::AddDotnetTask() {
  const auto [minVersion, url] = EffectiveDotnet();
  // One package per id: planning twice must not queue the framework twice.
  if (!FindTask(kDotnetTaskId)) {
    auto task = std::make_unique<NuvTask>();
    task->id = kDotnetTaskId;
    task->type = kTaskDotnet;
    task->folder = configFolder;
    task->url = url;
    task->productName = u".NET Framework";
    task->startupProduct = false;
    tasks.push_back(std::move(task));
  }
  analytics::GetCommonProperties().Set("dotnetver", minVersion);
}
