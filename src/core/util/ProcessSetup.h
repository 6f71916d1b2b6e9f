#pragma once
// What the process must settle before it opens anything: both front ends
// call these first, in this order, before any thread exists.

#include <signal.h>

namespace tapwise {

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed. Started
// with its output closed (`tapwise ... >&-`), the program's first open would
// otherwise get descriptor 1, and the packet lines meant for standard output
// would go out of a serial port to the device.
void EnsureStandardDescriptors();

// The signals that end the program the orderly way: Ctrl+C, kill, the
// terminal closing (SIGHUP) and Ctrl+\ (SIGQUIT). Dying on any of them would
// skip the clean-up and leave the exclusive flag on the ports.
sigset_t StopSignals();

// Blocks StopSignals() in the calling thread, so that every thread started
// later inherits the block and the owner can take them synchronously (from
// sigtimedwait or a signalfd). Returns the set.
sigset_t BlockStopSignals();

// Failed writes are reported as failed writes, not as signals: a closed
// pipe (SIGPIPE) and a file-size limit (SIGXFSZ, `ulimit -f`) would
// otherwise kill the program without a word and lose the recording.
void IgnoreWriteSignals();

}  // namespace tapwise
