// What an upload thread does, for tests of the uploader: a thread with its own
// single-threaded apartment, and a message loop that ends when the uploader
// posts UM_FINISH_UPLOAD (or when a time-out, which fails the test, runs out).
#pragma once

#include <windows.h>

#include <functional>

namespace vptest {

// The thread message that releases an upload thread's loop.
const UINT kFinishUploadMessage = 1912;

// Runs body on a new thread inside its own single-threaded apartment and
// returns when it is done.
void RunInApartment(const std::function<void()>& body);

// Dispatches the calling thread's messages one at a time until done() holds
// after a message (true) or timeoutMs pass without it (false). Waits on the
// message queue, never by sleeping.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Dispatches messages until UM_FINISH_UPLOAD arrives (true) or the time-out.
bool PumpUntilFinished(DWORD timeoutMs);

// Dispatches what is queued now, without waiting; returns how many messages.
int PumpPending();

}  // namespace vptest
