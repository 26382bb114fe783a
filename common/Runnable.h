// Work that runs on a thread of its own through the common start routine.
#pragma once

#include <windows.h>

class Runnable {
public:
    virtual ~Runnable() = default;
    virtual void Run() = 0;
};

// Thread start routine: runs the Runnable given as argument, swallowing any
// exception so that none leaves the thread, and returns 0.
DWORD WINAPI RunnableThreadProc(LPVOID runnable);

// Starts a thread for runnable; returns false (the caller still owns the
// runnable) when the thread cannot be created. The handle is closed at once.
bool StartRunnableThread(Runnable* runnable);
