// Rate and time left of the request being sent (see the header).
#include "engine/TransferMeter.h"

#include "engine/ProgressText.h"

namespace {

// A sample at most this often: the uploader reports every chunk, and the
// window needs only a few dozen points to average over.
constexpr ULONGLONG kSampleEveryMs = 100;

// The size text, with "0 B" where the display's own rule shows nothing.
std::wstring Amount(ULONGLONG bytes)
{
    const std::wstring text = SizeText(bytes);
    return text.empty() ? std::wstring(L"0 B") : text;
}

int Clamped(ULONGLONG value)
{
    return value > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<int>(value);
}

}  // namespace

void TransferMeter::Reset()
{
    samples_.clear();
    sent_ = total_ = now_ = 0;
}

void TransferMeter::Update(ULONGLONG sent, ULONGLONG total, ULONGLONG nowMs)
{
    if (total != total_ || sent < sent_ || nowMs < now_) Reset();
    sent_ = sent > total ? total : sent;
    total_ = total;
    now_ = nowMs;
    if (samples_.empty() || nowMs - samples_.back().time >= kSampleEveryMs) samples_.push_back({nowMs, sent_});
    // The oldest sample kept is the last one at or before the window's start.
    while (samples_.size() > 1 && nowMs - samples_[1].time >= kWindowMs) samples_.pop_front();
}

bool TransferMeter::RateKnown() const
{
    return !samples_.empty() && now_ - samples_.front().time >= kKnownAfterMs;
}

ULONGLONG TransferMeter::BytesPerSecond() const
{
    if (!RateKnown()) return 0;
    const ULONGLONG span = now_ - samples_.front().time;
    // At most 4 GB moved: the product with 1000 stays far inside 64 bits.
    return (sent_ - samples_.front().sent) * 1000 / span;
}

bool TransferMeter::SecondsLeft(ULONGLONG* seconds) const
{
    const ULONGLONG rate = BytesPerSecond();
    if (rate == 0 || Waiting()) return false;
    *seconds = (total_ - sent_ + rate - 1) / rate;
    return true;
}

std::wstring TransferMeter::Text(const TransferTexts& texts) const
{
    if (!Started()) return std::wstring();
    if (Waiting()) return texts.waiting;
    std::wstring text = FormatText(texts.amount, {Amount(sent_), Amount(total_)});
    if (!RateKnown()) return text;
    text += texts.separator + FormatText(texts.rate, {Amount(BytesPerSecond())});
    ULONGLONG seconds = 0;
    if (SecondsLeft(&seconds)) text += texts.separator + TimeLeftText(seconds, texts);
    return text;
}

std::wstring TimeLeftText(ULONGLONG seconds, const TransferTexts& texts)
{
    if (seconds <= 10) return FormatText(texts.secondsLeft, {Clamped(seconds)});
    const ULONGLONG stepped = (seconds + 2) / 5 * 5;
    if (stepped < 60) return FormatText(texts.secondsLeft, {Clamped(stepped)});
    const ULONGLONG minutes = (seconds + 30) / 60;
    if (minutes < 90) return FormatText(texts.minutesLeft, {Clamped(minutes)});
    return FormatText(texts.hoursLeft, {Clamped((seconds + 1800) / 3600)});
}
