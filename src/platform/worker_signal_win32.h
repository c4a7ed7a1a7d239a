#pragma once
// The Windows worker signal: a stop event beside a waitable timer, waited on with
// MsgWaitForMultipleObjects so that the worker's own windows keep working while it waits.
#include <memory>

#include "platform/worker_signal.h"

namespace jihe::platform {

// WaitFor dispatches the waiting thread's window messages until the time runs out or a stop is
// asked. WaitFinished answers messages sent to the owner's thread while it waits (but runs no
// posted input), so a worker that is closing a window cannot hang on the owner.
std::unique_ptr<WorkerSignal> NewPumpingWorkerSignal();

}  // namespace jihe::platform
