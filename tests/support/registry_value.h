// One registry value as a test compares it: a text as it stands, a number in decimal.
#pragma once

#include <string>

#include "plat/registry.h"

namespace testsupport {

// The value `name` of the key `path` under `root`; "<no key>" or "<no value>" when either is missing.
std::string RegistryValue(plat::HKEY root, const char* path, const char* name);

}  // namespace testsupport
