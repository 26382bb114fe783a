// The upload history store (see the header).
#include "engine/UploadHistory.h"

#include <cwchar>

#include "common/LogWriter.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("UploadHistory");
    return log;
}

// One lock for the history of every store object in the session.
const wchar_t kHistoryMutexName[] = L"VellumpostUploadHistoryMutex";
// A history operation is a few dozen registry calls; a holder that keeps the
// lock much longer than this is hung or hostile, and waiting on would hang
// the browser window or upload that asked.
const DWORD kHistoryLockWaitMs = 3000;

CriticalSection& LocationLock()
{
    static CriticalSection lock;
    return lock;
}

UploadHistory::LockLocation& OverriddenLocation()
{
    static UploadHistory::LockLocation location{std::wstring(), kHistoryLockWaitMs};
    return location;
}

UploadHistory::LockLocation CurrentLocation()
{
    ScopedLock hold(LocationLock());
    UploadHistory::LockLocation location = OverriddenLocation();
    if (location.name.empty()) location = UploadHistory::LockLocation{kHistoryMutexName, kHistoryLockWaitMs};
    return location;
}

struct Field {
    const wchar_t* suffix;
    CUploadResult::Text CUploadResult::*member;
};

// The stored fields in the order they are read and written; the short link is
// derived from the image link instead.
const Field kFields[] = {
    {L"image_name", &CUploadResult::name},     {L"image_link", &CUploadResult::imageLink},
    {L"thumb_link", &CUploadResult::thumbLink}, {L"ad_link", &CUploadResult::adLink},
    {L"image_html", &CUploadResult::imageHtml}, {L"image_bb", &CUploadResult::imageBB},
    {L"image_bb2", &CUploadResult::imageBB2},   {L"thumb_html", &CUploadResult::thumbHtml},
    {L"thumb_bb", &CUploadResult::thumbBB},     {L"thumb_bb2", &CUploadResult::thumbBB2},
};

struct ValueName {
    wchar_t text[255];
    ValueName(int index, const wchar_t* suffix) { swprintf(text, 255, L"history(%i).%ls", index, suffix); }
};

}  // namespace

void UploadHistory::SetLockLocation(const std::wstring& name, DWORD waitMs)
{
    ScopedLock hold(LocationLock());
    OverriddenLocation() = LockLocation{name, waitMs};
}

UploadHistory::UploadHistory(SettingsStore& store) : UploadHistory(store, CurrentLocation()) {}

UploadHistory::UploadHistory(SettingsStore& store, const LockLocation& lock)
    : store_(store), mutex_(lock.name.c_str()), waitMs_(lock.waitMs), local_(store.HistoryLock())
{
}

bool UploadHistory::AcquireLock()
{
    // A mutex left by a process that died is handed over as abandoned; the
    // entry it was writing may be torn, but the lock still works.
    if (mutex_.IsValid() && !mutex_.Acquire(waitMs_)) {
        Log().Format("Cannot take the history lock within %lu ms; the history operation fails",
                     static_cast<unsigned long>(waitMs_));
        return false;
    }
    local_.Lock();
    return true;
}

void UploadHistory::ReleaseLock()
{
    local_.Unlock();
    mutex_.Release();
}

UploadHistory::Hold::Hold(UploadHistory& history) : history_(history), held_(history.AcquireLock()) {}

UploadHistory::Hold::~Hold()
{
    if (held_) history_.ReleaseLock();
}

DWORD UploadHistory::MaxHistory() const
{
    const DWORD limit = store_.MaxHistory();
    return limit < 1 ? 1 : limit;
}

bool UploadHistory::HasImageLink(int index) const
{
    std::wstring link;
    return SettingsStore::ReadText(store_.HistoryKey(), ValueName(index, L"image_link").text, link) &&
           !link.empty();
}

int UploadHistory::HistoryCount()
{
    Hold hold(*this);
    if (!hold) return -1;
    int count = 0;
    while (count < kMaxEntries && HasImageLink(count)) ++count;
    return count;
}

bool UploadHistory::ReadHistoryEntry(int index, CUploadResult& result)
{
    result = CUploadResult();
    Hold hold(*this);
    if (!hold) return false;
    for (const Field& field : kFields) {
        std::wstring value;
        if (SettingsStore::ReadText(store_.HistoryKey(), ValueName(index, field.suffix).text, value))
            result.*field.member = value;
    }
    result.UpdateShortLink();
    return true;
}

bool UploadHistory::WriteHistoryEntry(int index, const CUploadResult& result)
{
    Hold hold(*this);
    if (!hold) return false;
    HKEY key = store_.HistoryKey();
    if (!key) return true;
    for (const Field& field : kFields) {
        const ValueName name(index, field.suffix);
        const CUploadResult::Text& value = result.*field.member;
        if (value)
            SettingsStore::WriteText(key, name.text, *value);
        else
            RegDeleteValueW(key, name.text);
    }
    return true;
}

bool UploadHistory::RemoveHistoryEntry(int index)
{
    Hold hold(*this);
    if (!hold) return false;
    HKEY key = store_.HistoryKey();
    if (!key || index < 0) return true;
    int k = index;
    CUploadResult next;
    ReadHistoryEntry(k + 1, next);
    while (k < kMaxEntries && next.imageLink && !next.imageLink->empty()) {
        WriteHistoryEntry(k, next);
        ++k;
        ReadHistoryEntry(k + 1, next);
    }
    for (const Field& field : kFields) RegDeleteValueW(key, ValueName(k, field.suffix).text);
    return true;
}

int UploadHistory::AddHistoryEntry(const CUploadResult& result)
{
    Hold hold(*this);
    if (!hold) return -1;
    int count = HistoryCount();
    // Exactly one entry goes even when the limit was lowered below the count.
    if (count > 0 && static_cast<DWORD>(count) >= MaxHistory()) {
        RemoveHistoryEntry(0);
        --count;
    }
    WriteHistoryEntry(count, result);
    return count;
}

bool ToolbarHistory::Load(UploadHistory& history)
{
    UploadHistory::Hold hold(history);
    if (!hold) return false;
    // The newest entries: with a limit lowered by hand the history holds
    // more than the limit, and the list must still show the latest uploads.
    const int count = history.HistoryCount();
    if (count < 0) return false;
    const DWORD limit = history.MaxHistory();
    const int first = static_cast<DWORD>(count) > limit ? count - static_cast<int>(limit) : 0;
    std::vector<CUploadResult> items;
    for (int i = first; i < count; ++i) {
        CUploadResult entry;
        history.ReadHistoryEntry(i, entry);
        items.push_back(std::move(entry));
    }
    items_ = std::move(items);
    return true;
}

bool ToolbarHistory::Add(UploadHistory& history, const CUploadResult& result)
{
    const bool wasEmpty = items_.empty();
    {
        UploadHistory::Hold hold(history);
        if (hold && history.AddHistoryEntry(result) >= 0 && Load(history)) return wasEmpty;
    }
    // The store could not be reached: this window still offers the link.
    items_.push_back(result);
    const size_t limit = history.MaxHistory();
    if (items_.size() > limit) items_.erase(items_.begin(), items_.end() - static_cast<std::ptrdiff_t>(limit));
    return wasEmpty;
}

void CHistoryImageTarget::OnItemUploaded(const CUploadResult& result)
try {
    SettingsStore store;
    UploadHistory(store).AddHistoryEntry(result);
} catch (...) {
    LogWriter("CHistoryImageTarget").Write("EXCEPTION on OnItemUploaded");
}
