#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

// The system's requests to end the program end it the way closing its window
// does, and on the way out the job runner stops any codec tool still running.
// Each system has its own half: on Unix SIGTERM, SIGHUP and SIGINT, after
// which the event loop returns 128 + the signal's number
// (quitsignals_unix.cpp); on Windows Ctrl+C, Ctrl+Break and the console's
// closing, after which it returns 128 + the C runtime's signal for the
// event (SIGINT, SIGBREAK, SIGTERM), and the session's end, which ends the
// program by exit() (quitsignals_win.cpp).
void quitOnTerminationSignals();

#endif
