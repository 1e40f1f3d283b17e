// The built-in control classes by name.
#include "plat/controls.h"

#include "control_classes.h"
#include "plat/codepage.h"
#include "system_classes.h"

namespace plat {
namespace detail {

WNDPROC SystemClassProcedure(LPCSTR className) {
  static const struct {
    LPCSTR name;
    WNDPROC procedure;
  } kClasses[] = {
      {WC_EDITA, EditProcedure},         {WC_LISTBOXA, ListBoxProcedure},   {WC_COMBOBOXA, ComboBoxProcedure},
      {WC_LISTVIEWA, ListViewProcedure}, {WC_TREEVIEWA, TreeViewProcedure},
  };
  if (className == nullptr) return nullptr;
  for (const auto& known : kClasses) {
    if (lstrcmpiA(known.name, className) == 0) return known.procedure;
  }
  return nullptr;
}

}  // namespace detail
}  // namespace plat
