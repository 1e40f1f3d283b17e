// Font tools: the fixed-pitch, underlined, plain and semibold fonts of a height.
#pragma once

#include "plat/gdi.h"

namespace TOOLFUNC_window {

// Each makes a new font of `height` (logical units, as LOGFONTA's lfHeight) that the caller deletes.
// Weight 400 and the face "Courier new".
plat::HFONT CreateFixedFont(int height);
// Weight 400, underlined, the system's face.
plat::HFONT CreateUnderlinedFont(int height);
// Weight 400, the system's face.
plat::HFONT CreatePlainFont(int height);
// Weight 600, the system's face.
plat::HFONT CreateSemiboldFont(int height);

}  // namespace TOOLFUNC_window
