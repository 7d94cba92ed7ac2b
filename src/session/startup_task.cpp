#include "session/startup_task.h"

#include <cstdint>
#include <limits>

#include "session/config_number.h"

NuvTask* FindStartupTask(NuvMgr& mgr) {
  const int64_t id = DecimalValue(mgr.StartupProduct);
  // A value outside the id range must not wrap onto another task's id.
  if (id < std::numeric_limits<int32_t>::min() || id > std::numeric_limits<int32_t>::max())
    return nullptr;
  return mgr.FindTask(static_cast<int32_t>(id));
}
