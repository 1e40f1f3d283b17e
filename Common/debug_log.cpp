// The gated log4cxx front end: ConfigureLogging and LogMessage.
#include <log4cxx/logger.h>
#include <log4cxx/logmanager.h>
#include <log4cxx/ndc.h>
#include <log4cxx/xml/domconfigurator.h>

#include <atomic>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "debug_tools.h"
#include "plat/path.h"

bool g_bLoggingConfigured = false;
char g_szLogConfigFile[plat::MAX_PATH] = "";

namespace TOOLFUNC_debug {
namespace {

// Every event claims to come from the one logging call, with a line per level.
struct LevelLocation {
  log4cxx::LevelPtr level;
  int line;
};

LevelLocation LevelFor(plat::LONG level) {
  switch (level) {
    case kLogWarning:
      return {log4cxx::Level::getWarn(), 131};
    case kLogInfo:
      return {log4cxx::Level::getInfo(), 128};
    case kLogDetail:
    case kLogTrace:
      return {log4cxx::Level::getDebug(), 125};
    default:
      return {log4cxx::Level::getError(), 135};
  }
}

// Pops only what it pushed: a push that throws constructs nothing, so the caller's own context entry
// is never taken.
class ScopedContext {
 public:
  explicit ScopedContext(const std::string& text) { log4cxx::NDC::push(text); }
  ~ScopedContext() {
    try {
      log4cxx::NDC::pop();
    } catch (const std::exception&) {
    }
  }
  ScopedContext(const ScopedContext&) = delete;
  ScopedContext& operator=(const ScopedContext&) = delete;
};

// setlocale is not thread-safe and nothing else changes the locale, so once is enough.
std::once_flag g_localeOnce;

// Looked up once: the protocol path logs several times per line, mostly below the configured level.
const log4cxx::LoggerPtr& TheLogger() {
  static const log4cxx::LoggerPtr logger = [] {
    log4cxx::LoggerPtr named = log4cxx::Logger::getLogger("Velcora");
    return named ? named : log4cxx::Logger::getRootLogger();
  }();
  return logger;
}

// Set once log4cxx has been shut down at the end of the process: threads that still run then (a
// provider's workers) log nothing into closed appenders.
std::atomic<bool> g_loggingEnded{false};

// Buffered and asynchronous appenders hand on what they hold only when log4cxx is shut down, and the
// programs end through quick_exit, past static destructors (log4cxx's own among them, which must still
// stand while it shuts down).
void EndLogging() {
  if (g_loggingEnded.exchange(true)) return;
  try {
    log4cxx::LogManager::shutdown();
  } catch (const std::exception&) {
  }
}

}  // namespace

int ConfigureLogging() {
  static std::once_flag registered;
  std::call_once(registered, [] { std::at_quick_exit(EndLogging); });
  // A configurator that throws leaves logging off rather than ending the program.
  try {
    // log4cxx opens the file itself, past the layer that maps the programs' Windows-form paths.
    log4cxx::xml::DOMConfigurator::configure(plat::ToHostPath(g_szLogConfigFile));
  } catch (const std::exception&) {
    return 0;
  }
  g_bLoggingConfigured = true;
  return 0;
}

void LogMessage(plat::LONG level, const char* format, ...) {
  if (!g_bLoggingConfigured || g_loggingEnded.load(std::memory_order_relaxed)) return;
  // One guard over the whole call: nothing of the standard exception family leaves it.
  try {
    // The first call past the gate sets the locale, whatever its level.
    std::call_once(g_localeOnce, [] { std::setlocale(LC_ALL, ""); });
    const log4cxx::LoggerPtr& logger = TheLogger();
    LevelLocation chosen = LevelFor(level);
    // A message below the level is neither formatted nor given a context.
    if (!logger->isEnabledFor(chosen.level)) return;
    ScopedContext context("Velcora: ");

    char text[1024] = {};
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, 1023, format, arguments);
    va_end(arguments);

    log4cxx::spi::LocationInfo location("..\\..\\Common\\ToolFunktion", "ToolFunktion",
                                        "void __cdecl TOOLFUNC_debug::LogMessage(long,const char *,...)",
                                        chosen.line);
    logger->forcedLog(chosen.level, std::string(text), location);
  } catch (const std::exception&) {
  }
}

}  // namespace TOOLFUNC_debug
