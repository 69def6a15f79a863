#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

// SIGTERM, SIGHUP and SIGINT end the program the way closing its window does:
// the event loop returns 128 + the signal's number, and on the way out the
// job runner stops any codec tool still running.
void quitOnTerminationSignals();

#endif
