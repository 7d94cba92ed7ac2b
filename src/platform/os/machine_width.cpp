#include "platform/os/machine_width.h"

#include <sys/utsname.h>

#include <string_view>

namespace nuv::os {

bool MachineIs64Bit() {
  struct utsname info {};
  if (uname(&info) != 0) return false;
  const std::string_view machine = info.machine;
  // Nearly every 64-bit machine name says so; these two do not.
  return machine.find("64") != std::string_view::npos || machine == "s390x" || machine == "alpha";
}

}  // namespace nuv::os
