#pragma once

// For tests only: a seam that holds a background run's worker (an extraction or a write) at a
// chosen point.

#include <cstdint>
#include <functional>
#include <stop_token>

namespace backgroundrun {

// Called on the worker thread after each progress report (and after the wait while the close
// question is asked), with the entries done so far and the run's stop token; runs started after
// the call use it. An empty hook removes it.
using WorkerHook = std::function<void(std::uint64_t entriesDone, std::stop_token)>;
void SetWorkerHook(WorkerHook hook);

} // namespace backgroundrun
