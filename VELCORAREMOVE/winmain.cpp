// The entry of VELCORAREMOVE.EXE.
#include "plat/winmain.h"

#include "ToolFunktion.h"
#include "remove_tool.h"

int WinMain(plat::HINSTANCE instance, plat::HINSTANCE, char* commandText, int) {
  g_hInstance = instance;
  return RunRemoveTool(commandText);
}
