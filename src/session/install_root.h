// The default parent folder of the installation, from the configuration and an installed copy.
#pragma once

#include <string>

// From the effective custom path: "%localappdata%" (any case) is the desktop user's local
// application data; another path counts only when it is absolute and its drive root exists.
// Without one, the parent of the brand folder of an installed copy (its path up to and including
// the '/' before "<brand>/"). Empty when none applies.
std::u16string DefaultInstallRoot(const std::u16string& customPath, const std::u16string& brand,
                                  const std::u16string& productId);
