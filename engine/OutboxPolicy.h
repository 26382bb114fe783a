// The outbox's decisions, free of files and threads: which failures keep an
// item for a later attempt, when the next attempt is due, and whether a new
// item still fits within the outbox's bounds.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

enum class OutboxFailure {
    Transport,    // no connection, reset, or another network error
    Timeout,
    ServerError,  // an answer that cannot be read, a 5xx page among them
    Refused,      // the service refused the item for a reason that will not change
};

// The failure an answer stands for: Refused for the service's errors that
// sending again cannot mend, ServerError otherwise.
OutboxFailure ClassifyAnswerError(const std::optional<std::wstring>& errorId);
// True when an item that failed this way stays in the outbox.
bool KeepsAfter(OutboxFailure failure);

constexpr ULONGLONG kOutboxFirstRetryMs = 30 * 1000;
constexpr ULONGLONG kOutboxLastRetryMs = 30 * 60 * 1000;

// Milliseconds before attempt number attempts + 1, after attempts failed
// ones: first (30 s) doubling up to 30 min, each spread by up to a fifth
// either way by random (any value) so that many toolbars do not retry in step.
ULONGLONG RetryDelayMs(int attempts, unsigned random, ULONGLONG first = kOutboxFirstRetryMs);

constexpr size_t kOutboxMaxRecords = 500;
constexpr ULONGLONG kOutboxMaxKeptBytes = 2ULL * 1024 * 1024 * 1024;

enum class OutboxAdmission { Admitted, TooManyRecords, TooManyBytes };
// Whether one more record fits, keeping newCopyBytes more of product-made
// copies, given what the outbox already holds.
OutboxAdmission AdmitRecord(size_t records, ULONGLONG keptBytes, ULONGLONG newCopyBytes);
