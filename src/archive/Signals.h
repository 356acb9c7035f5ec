#pragma once

namespace archive {

// Makes SIGINT, SIGTERM and SIGHUP (where there is one) first remove the temporary file of the
// entry being extracted (RemovePartialFile), then end the program as they would have. A signal
// the program was started ignoring (nohup) stays ignored.
void RemovePartialFileOnSignals();

} // namespace archive
