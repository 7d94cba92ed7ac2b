// Whether the running kernel is a 64-bit one.
#pragma once

namespace nuv::os {

// From the uname machine name (x86_64, aarch64, ppc64le, s390x, ...); false when unknown.
bool MachineIs64Bit();

}  // namespace nuv::os
