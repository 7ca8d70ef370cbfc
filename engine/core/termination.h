// The end of the process by a signal or a closed console: the staging files of the outputs being
// written are removed first, so that nothing half-written is left behind.
#pragma once

namespace folvex {

// From now on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+Break, a closed console, log-off and
// shut-down) remove the staging files and call restore (when given; it must be safe in a signal
// handler), then end the process as the signal would have. A job that handles SIGINT itself puts
// back the handler it found.
void CleanUpOnTermination(void (*restore)());

}  // namespace folvex
