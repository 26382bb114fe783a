// HRESULT plumbing shared by the COM code: early-return macros that keep the
// happy path readable, and the one place where an exception that reached a COM
// method, window procedure or thread routine is logged and turned into E_FAIL.
#pragma once

#include <windows.h>

class LogWriter;

// The calling thread's last Win32 error as an HRESULT; E_FAIL when no error
// was recorded, so a failure is never reported as success.
[[nodiscard]] inline HRESULT HResultFromLastError() noexcept
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// A registry or other Win32 status code (LSTATUS) as an HRESULT.
[[nodiscard]] inline HRESULT HResultFromWin32(LONG status) noexcept
{
    return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

#define RETURN_IF_FAILED(expression)                  \
    do {                                              \
        const HRESULT vpHr_ = (expression);           \
        if (FAILED(vpHr_)) return vpHr_;              \
    } while (0)

#define RETURN_HR_IF(hr, condition)                   \
    do {                                              \
        if (condition) return (hr);                   \
    } while (0)

#define RETURN_HR_IF_NULL(hr, pointer)                \
    do {                                              \
        if ((pointer) == nullptr) return (hr);        \
    } while (0)

#define RETURN_IF_WIN32_BOOL_FALSE(expression)        \
    do {                                              \
        if (!(expression)) return HResultFromLastError(); \
    } while (0)

#define RETURN_IF_WIN32_ERROR(expression)                                 \
    do {                                                                  \
        const LONG vpStatus_ = (expression);                              \
        if (vpStatus_ != ERROR_SUCCESS) return HResultFromWin32(vpStatus_); \
    } while (0)

// Logs "EXCEPTION on <operation> in 0x<address>" for the exception being
// handled (with its text when it is a std::exception). Call only inside a
// catch handler.
void LogCaughtException(const LogWriter& log, const char* operation, const void* object) noexcept;

// LogCaughtException, then E_FAIL: what a COM method returns for an exception.
HRESULT ComExceptionResult(const LogWriter& log, const char* operation, const void* object) noexcept;

// The handler of a function-try-block around a COM method body:
//
//   STDMETHODIMP CThing::SetSite(IUnknown* site)
//   try {
//       ...
//   }
//   COM_CATCH_RETURN(log_, "SetSite")
//
// COM_CATCH_RETURN_FOR names the address itself (free functions, static members).
#define COM_CATCH_RETURN_FOR(log, operation, object) \
    catch (...) { return ::ComExceptionResult((log), (operation), (object)); }
#define COM_CATCH_RETURN(log, operation) COM_CATCH_RETURN_FOR(log, operation, this)
