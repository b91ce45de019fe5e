// SIGINT and SIGTERM while a tool writes: the signal is noted, the work stops at the next
// check, the temporary files are removed by their owners, and the exit status is 128 + signal.
#pragma once

// Installs the handlers that note SIGINT and SIGTERM (nothing else is done in the handler).
void CatchInterrupts();

// The signal caught since CatchInterrupts, 0 if none.
int CaughtInterrupt();

// The exit status for a caught signal: 130 for SIGINT, 143 for SIGTERM.
inline int InterruptExitStatus(int signal) { return 128 + signal; }
