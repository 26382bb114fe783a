// Outbox decisions (see the header).
#include "engine/OutboxPolicy.h"

OutboxFailure ClassifyAnswerError(const std::optional<std::wstring>& errorId)
{
    if (errorId && (*errorId == L"file_too_big" || *errorId == L"resource_not_found" ||
                    *errorId == L"bad_request" || *errorId == L"no_file"))
        return OutboxFailure::Refused;
    return OutboxFailure::ServerError;
}

bool KeepsAfter(OutboxFailure failure) { return failure != OutboxFailure::Refused; }

ULONGLONG RetryDelayMs(int attempts, unsigned random, ULONGLONG first)
{
    const ULONGLONG last = kOutboxLastRetryMs;
    ULONGLONG delay = first < last ? first : last;
    for (int i = 1; i < attempts && delay < last; ++i) delay *= 2;
    if (delay > last) delay = last;
    // Spread over [0.8, 1.2] of the delay in thousandths.
    ULONGLONG spread = 800 + random % 401;
    return delay * spread / 1000;
}

OutboxAdmission AdmitRecord(size_t records, ULONGLONG keptBytes, ULONGLONG newCopyBytes)
{
    if (records >= kOutboxMaxRecords) return OutboxAdmission::TooManyRecords;
    if (newCopyBytes > kOutboxMaxKeptBytes || keptBytes > kOutboxMaxKeptBytes - newCopyBytes)
        return OutboxAdmission::TooManyBytes;
    return OutboxAdmission::Admitted;
}
