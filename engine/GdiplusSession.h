// Keeps the platform imaging library (GDI+) started while any user needs it.
// The first session starts it and the last one to end shuts it down, so the
// library is not left running in a browser process that no longer resizes.
#pragma once

#include <windows.h>

class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    // False when the library could not be started; no imaging call may then be made.
    bool IsStarted() const { return started_; }

    // Number of live sessions that started the library (for tests).
    static long ActiveCount();

private:
    bool started_;
};
