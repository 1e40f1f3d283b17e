// The lookups of the layer's errno table.
#include "errno_map.h"

#include <cerrno>

#include "plat/error.h"

namespace plat::detail {
namespace {

struct Codes {
  DWORD win32;
  DWORD wsa;
};

// One case label per row, so a second row for an errno (or an alias of one) does not compile.
Codes CodesOf(int error) {
  switch (error) {
#define PLAT_ERRNO(name, win32, wsa) \
  case name:                         \
    return {win32, wsa};
#include "errno_map.def"
#undef PLAT_ERRNO
  }
  return {0, 0};
}

}  // namespace

DWORD Win32ErrorOf(int error) {
  DWORD code = CodesOf(error).win32;
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

DWORD WsaErrorOf(int error) {
  DWORD code = CodesOf(error).wsa;
  return code != 0 ? code : WSAENETDOWN;
}

}  // namespace plat::detail
