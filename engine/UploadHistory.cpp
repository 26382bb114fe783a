// The upload history store (see the header).
#include "engine/UploadHistory.h"

#include <sddl.h>

#include <cwchar>

#include "common/LogWriter.h"

namespace {

// One lock for the history of every store object in the session.
const wchar_t kHistoryMutexName[] = L"VellumpostUploadHistoryMutex";

// The browser may run at low integrity while other processes of the product
// do not: the mutex carries a low label so that every one of them can take
// it, whichever created it. Systems without labels get the default security.
HANDLE CreateHistoryMutex()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"S:(ML;;NW;;;LW)", SDDL_REVISION_1,
                                                             &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    HANDLE mutex = CreateMutexW(descriptor ? &attributes : nullptr, FALSE, kHistoryMutexName);
    if (!mutex) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kHistoryMutexName);
    if (descriptor) LocalFree(descriptor);
    return mutex;
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

UploadHistory::HistoryLock::HistoryLock(Lockable& local) : local_(local), mutex_(CreateHistoryMutex()) {}

UploadHistory::HistoryLock::~HistoryLock()
{
    if (mutex_) CloseHandle(mutex_);
}

void UploadHistory::HistoryLock::Lock()
{
    // A mutex left by a process that died is handed over as abandoned; the
    // entry it was writing may be torn, but the lock still works.
    if (mutex_) WaitForSingleObject(mutex_, INFINITE);
    local_.Lock();
}

void UploadHistory::HistoryLock::Unlock()
{
    local_.Unlock();
    if (mutex_) ReleaseMutex(mutex_);
}

UploadHistory::UploadHistory(SettingsStore& store) : store_(store), lock_(store.HistoryLock()) {}

bool UploadHistory::HasImageLink(int index) const
{
    std::wstring link;
    return SettingsStore::ReadText(store_.HistoryKey(), ValueName(index, L"image_link").text, link) &&
           !link.empty();
}

int UploadHistory::HistoryCount()
{
    ScopedLock lock(lock_);
    int count = 0;
    while (count < kMaxEntries && HasImageLink(count)) ++count;
    return count;
}

void UploadHistory::ReadHistoryEntry(int index, CUploadResult& result)
{
    ScopedLock lock(lock_);
    result = CUploadResult();
    for (const Field& field : kFields) {
        std::wstring value;
        if (SettingsStore::ReadText(store_.HistoryKey(), ValueName(index, field.suffix).text, value))
            result.*field.member = value;
    }
    result.UpdateShortLink();
}

void UploadHistory::WriteHistoryEntry(int index, const CUploadResult& result)
{
    ScopedLock lock(lock_);
    HKEY key = store_.HistoryKey();
    if (!key) return;
    for (const Field& field : kFields) {
        const ValueName name(index, field.suffix);
        const CUploadResult::Text& value = result.*field.member;
        if (value)
            SettingsStore::WriteText(key, name.text, *value);
        else
            RegDeleteValueW(key, name.text);
    }
}

void UploadHistory::RemoveHistoryEntry(int index)
{
    ScopedLock lock(lock_);
    HKEY key = store_.HistoryKey();
    if (!key || index < 0) return;
    int k = index;
    CUploadResult next;
    ReadHistoryEntry(k + 1, next);
    while (k < kMaxEntries && next.imageLink && !next.imageLink->empty()) {
        WriteHistoryEntry(k, next);
        ++k;
        ReadHistoryEntry(k + 1, next);
    }
    for (const Field& field : kFields) RegDeleteValueW(key, ValueName(k, field.suffix).text);
}

int UploadHistory::AddHistoryEntry(const CUploadResult& result)
{
    ScopedLock lock(lock_);
    int count = HistoryCount();
    // Exactly one entry goes even when the limit was lowered below the count;
    // an empty history has nothing to drop, even with a limit of 0.
    if (count > 0 && static_cast<DWORD>(count) >= MaxHistory()) {
        RemoveHistoryEntry(0);
        --count;
    }
    WriteHistoryEntry(count, result);
    return count;
}

void ToolbarHistory::Load(UploadHistory& history)
{
    ScopedLock lock(history.Lock());
    items_.clear();
    // A limit below one would let the list grow without end.
    limit_ = history.MaxHistory() < 1 ? 1 : history.MaxHistory();
    const DWORD last = limit_ < static_cast<DWORD>(UploadHistory::kMaxEntries) ? limit_ : UploadHistory::kMaxEntries;
    for (DWORD i = 0; i < last; ++i) {
        CUploadResult entry;
        history.ReadHistoryEntry(static_cast<int>(i), entry);
        if (!entry.imageLink || entry.imageLink->empty()) break;
        items_.push_back(std::move(entry));
    }
}

bool ToolbarHistory::Add(UploadHistory& history, const CUploadResult& result)
{
    ScopedLock lock(history.Lock());
    const bool wasEmpty = items_.empty();
    if (!items_.empty() && items_.size() >= limit_) {
        items_.erase(items_.begin());
        history.RemoveHistoryEntry(0);
    }
    items_.push_back(result);
    history.WriteHistoryEntry(static_cast<int>(items_.size() - 1), result);
    return wasEmpty;
}

void CHistoryImageTarget::OnItemUploaded(const CUploadResult& result)
try {
    SettingsStore store;
    UploadHistory(store).AddHistoryEntry(result);
} catch (...) {
    LogWriter("CHistoryImageTarget").Write("EXCEPTION on OnItemUploaded");
}
