// Reference-counted start-up and shutdown of GDI+.
#include "engine/GdiplusSession.h"

#include <gdiplus.h>

#include "common/Locks.h"
#include "common/LogWriter.h"

namespace {

// A function-local static: constructed on first use, safe to reach from any thread.
CriticalSection& SessionLock()
{
    static CriticalSection lock;
    return lock;
}

long g_users = 0;
ULONG_PTR g_token = 0;

}  // namespace

GdiplusSession::GdiplusSession() : started_(false)
{
    ScopedLock lock(SessionLock());
    if (g_users == 0) {
        Gdiplus::GdiplusStartupInput input;
        const Gdiplus::Status status = Gdiplus::GdiplusStartup(&g_token, &input, nullptr);
        if (status != Gdiplus::Ok) {
            LogWriter("GdiplusSession").Format("GdiplusStartup failed with status %d", static_cast<int>(status));
            return;
        }
    }
    ++g_users;
    started_ = true;
}

GdiplusSession::~GdiplusSession()
{
    if (!started_) return;
    ScopedLock lock(SessionLock());
    if (--g_users == 0) {
        Gdiplus::GdiplusShutdown(g_token);
        g_token = 0;
    }
}

long GdiplusSession::ActiveCount()
{
    ScopedLock lock(SessionLock());
    return g_users;
}
