// The common thread start routine (see the header).
#include "common/Runnable.h"

#include "common/Handle.h"

DWORD WINAPI RunnableThreadProc(LPVOID runnable)
{
    try {
        static_cast<Runnable*>(runnable)->Run();
    } catch (...) {
    }
    return 0;
}

bool StartRunnableThread(Runnable* runnable)
{
    Thread thread;
    return thread.Create(nullptr, 0, RunnableThreadProc, runnable, 0);
}
