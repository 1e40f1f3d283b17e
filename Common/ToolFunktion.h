// The common tool library: logging, text, time, file, process, window, control, clipboard and dialog
// tools of both programs.
#pragma once

#include "tool_clipboard.h"
#include "tool_control.h"
#include "tool_debug.h"
#include "tool_dialog.h"
#include "tool_eventlog.h"
#include "tool_file.h"
#include "tool_font.h"
#include "tool_input.h"
#include "tool_logfile.h"
#include "tool_process.h"
#include "tool_registry.h"
#include "tool_service.h"
#include "tool_string.h"
#include "tool_time.h"
#include "tool_window.h"
