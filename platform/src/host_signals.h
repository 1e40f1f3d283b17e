// How the host's termination signals reach a program of the layer: as the close or shutdown Windows sends.
#pragma once

namespace plat::detail {

// Takes SIGTERM, SIGINT and SIGHUP on a thread of the layer from here on. The first turns into
// SERVICE_CONTROL_SHUTDOWN for the control handler of a service process, else into WM_CLOSE for each
// top-level window of the process; a process with neither ends as the signal's default would end it, and
// so does every process at a second signal. Must be called before any other thread starts: the signals
// stay blocked in every thread so that only the layer's thread takes them. A signal the process was
// started with ignored stays ignored.
void TakeHostSignals();

// Hands SERVICE_CONTROL_SHUTDOWN to the control handler on the dispatcher's side, as the manager's
// controls arrive; false when this process serves no service whose handler takes a shutdown.
bool QueueShutdownControl();

}  // namespace plat::detail
