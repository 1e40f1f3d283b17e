// The common tool library: logging, text, time, file, process and window tools of both programs.
#pragma once

#include "tool_debug.h"
#include "tool_eventlog.h"
#include "tool_file.h"
#include "tool_input.h"
#include "tool_logfile.h"
#include "tool_process.h"
#include "tool_registry.h"
#include "tool_service.h"
#include "tool_string.h"
#include "tool_time.h"
#include "tool_window.h"
