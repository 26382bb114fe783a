// How fast the current request goes out and how long it still needs: bytes
// sent and the times they were seen in, the progress line's text out. The
// times are given, never read, so the arithmetic runs against any clock.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

// The texts of the line, from the string table.
struct TransferTexts {
    std::wstring amount;       // "%s of %s"
    std::wstring rate;         // "%s/s"
    std::wstring secondsLeft;  // "about %i s left"
    std::wstring minutesLeft;  // "about %i min left"
    std::wstring hoursLeft;    // "about %i h left"
    std::wstring waiting;      // "Waiting for the service..."
    std::wstring separator;    // between the parts
};

class TransferMeter {
public:
    // The rate is the average over about this long, so one slow or fast
    // moment does not make the figures jump.
    static constexpr ULONGLONG kWindowMs = 5000;
    // Until the samples span this long, the rate is not known.
    static constexpr ULONGLONG kKnownAfterMs = 1000;

    // Forgets everything: a new request starts.
    void Reset();
    // sent of total bytes are out at nowMs (milliseconds of any steady clock).
    // Fewer bytes than before mean the request started again.
    void Update(ULONGLONG sent, ULONGLONG total, ULONGLONG nowMs);

    bool Started() const { return total_ != 0; }
    // Every byte is out: the service's answer is awaited.
    bool Waiting() const { return total_ != 0 && sent_ >= total_; }
    bool RateKnown() const;
    // Bytes per second over the window; 0 while not known.
    ULONGLONG BytesPerSecond() const;
    // Whole seconds still needed at the current rate (rounded up); false
    // while the rate is unknown or nothing moves.
    bool SecondsLeft(ULONGLONG* seconds) const;

    // "1.2 MB of 4.8 MB · 350 KB/s · about 10 s left", the parts known so
    // far; the waiting text once every byte is out; empty before any report.
    std::wstring Text(const TransferTexts& texts) const;

private:
    struct Sample {
        ULONGLONG time;
        ULONGLONG sent;
    };
    std::deque<Sample> samples_;
    ULONGLONG sent_ = 0;
    ULONGLONG total_ = 0;
    ULONGLONG now_ = 0;
};

// The time left as a person says it: exact seconds up to 10, then steps of 5
// seconds, whole minutes from one minute on and whole hours from 90 minutes.
std::wstring TimeLeftText(ULONGLONG seconds, const TransferTexts& texts);
