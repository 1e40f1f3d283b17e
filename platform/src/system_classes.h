// The window classes the system provides without a program registering them: the common controls.
#pragma once

#include "plat/window.h"

namespace plat::detail {

// The procedure of the built-in class named `className` (compared without case), null when there is none.
WNDPROC SystemClassProcedure(LPCSTR className);

}  // namespace plat::detail
