#pragma once
// Writes that the system refuses must come back as failed writes, which the
// recorder and the headless monitor report and survive, not as signals that
// end the program without a word. Two signals do that by default:
//  - SIGPIPE, for a pipe or socket whose reader has gone (then EPIPE);
//  - SIGXFSZ, for a write past the file-size limit (`ulimit -f`; then the
//    write comes up short, and the next fails with EFBIG).
//
// Called once at start-up, before any thread exists, by every front end.

namespace tapwise {

void IgnoreWriteSignals();

}  // namespace tapwise
