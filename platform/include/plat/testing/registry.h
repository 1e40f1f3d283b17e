// Test seam of the registry: keys an account without write rights could not change.
#pragma once

#include "plat/registry.h"

namespace plat {

// Makes the key `subKey` of `root` and everything below it unchangeable, as for an account without
// write rights (opening it for writing, creating, setting and deleting below it are refused with
// ERROR_ACCESS_DENIED); false lifts it. "" protects the whole root.
void SetRegistryKeyProtectedForTesting(HKEY root, LPCSTR subKey, bool isProtected);

}  // namespace plat
