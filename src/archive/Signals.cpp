#include "archive/Signals.h"

#include "archive/Extract.h"

#include <csignal>

namespace {

void RemovePartialFileAndEnd(int signal) {
    archive::RemovePartialFile();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void archive::RemovePartialFileOnSignals() {
    for (const int signal : {SIGINT, SIGTERM,
#ifdef SIGHUP
                             SIGHUP
#endif
         })
        if (std::signal(signal, RemovePartialFileAndEnd) == SIG_IGN)
            std::signal(signal, SIG_IGN);
}
