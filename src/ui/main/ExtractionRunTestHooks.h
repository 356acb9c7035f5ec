#pragma once

// For tests only: a seam that holds an extraction's worker at a chosen point.

#include "archive/Extract.h"

#include <functional>
#include <stop_token>

namespace extractionrun {

// Called on the worker thread after each progress report, with the run's stop token; runs
// started after the call use it. An empty hook removes it.
using WorkerHook = std::function<void(const archive::ExtractProgress&, std::stop_token)>;
void SetWorkerHook(WorkerHook hook);

} // namespace extractionrun
