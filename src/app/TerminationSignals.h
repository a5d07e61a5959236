#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C, a system shutdown) end the
// program only after its unsaved work is safe. The signal handler itself only writes the signal's
// number into a pipe; a notifier on the pipe wakes the GUI thread, also inside the event loop of a
// modal dialog, which runs `beforeExit`, puts the signal's default action back and raises the
// signal again, so that the program ends as the signal asks.

#include <functional>

void InstallTerminationSignals(std::function<void()> beforeExit);
