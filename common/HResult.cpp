// Logging of exceptions caught at COM boundaries (see the header).
#include "common/HResult.h"

#include <cstdint>
#include <cstdio>
#include <exception>

#include "common/LogWriter.h"

void LogCaughtException(const LogWriter& log, const char* operation, const void* object) noexcept
{
    const char* what = nullptr;
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    // The whole address: on x86_64 a 32-bit "%x" would cut it in half.
    char message[512];
    std::snprintf(message, sizeof(message), "EXCEPTION on %s in 0x%llx%s%s", operation ? operation : "?",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(object)),
                  what ? ": " : "", what ? what : "");
    try {
        log.Write(message);
    } catch (...) {
        // Nothing may leave a handler that exists to stop exceptions.
    }
}

HRESULT ComExceptionResult(const LogWriter& log, const char* operation, const void* object) noexcept
{
    LogCaughtException(log, operation, object);
    return E_FAIL;
}
