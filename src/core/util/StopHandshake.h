#pragma once
// The stop handshake of the worker threads: the owner sets the thread's
// StopRequest to 1, the thread clears it as the last step of its loop, and
// the owner waits for that before it joins. The owner looks every 10 ms, the
// pass of the threads that answer.

#include <atomic>
#include <cstdint>

namespace tapwise {

// Returns once stopRequest reads 0 (at once when it already does). It only
// waits; setting the request is the caller's, so that an owner of many
// threads can ask them all before it waits for the first.
void WaitForStopCleared(const std::atomic<uint8_t>& stopRequest);

}  // namespace tapwise
