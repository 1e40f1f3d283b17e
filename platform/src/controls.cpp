// The built-in controls: edit, list box, combo box, list view and tree view.
#include "system_classes.h"

namespace plat::detail {

WNDPROC SystemClassProcedure(LPCSTR) { return nullptr; }

}  // namespace plat::detail
