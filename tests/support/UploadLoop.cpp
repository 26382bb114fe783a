// Upload thread stand-in for the uploader's tests (see the header).
#include "support/UploadLoop.h"

#include <objbase.h>

#include <thread>

namespace vptest {

void RunInApartment(const std::function<void()>& body)
{
    std::thread thread([&body] {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        body();
        if (SUCCEEDED(hr)) CoUninitialize();
    });
    thread.join();
}

namespace {

// Dispatches messages until stop(message) holds after one of them, or the time-out.
bool Pump(const std::function<bool(const MSG&)>& stop, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (stop(message)) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    return Pump([&done](const MSG&) { return done(); }, timeoutMs);
}

bool PumpUntilFinished(DWORD timeoutMs)
{
    return Pump([](const MSG& message) { return message.message == kFinishUploadMessage; }, timeoutMs);
}

int PumpPending()
{
    int count = 0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++count;
    }
    return count;
}

}  // namespace vptest
