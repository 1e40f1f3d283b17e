// The common tool library: logging, text, time, file, process, window, control, clipboard and dialog
// tools of both programs.
#pragma once

#include "clipboard_tools.h"
#include "control_tools.h"
#include "debug_tools.h"
#include "dialog_tools.h"
#include "event_logger.h"
#include "font_tools.h"
#include "input_tools.h"
#include "logging_file.h"
#include "path_tools.h"
#include "process_tools.h"
#include "registry_tool.h"
#include "service_tools.h"
#include "string_tools.h"
#include "time_tools.h"
#include "window_tools.h"
