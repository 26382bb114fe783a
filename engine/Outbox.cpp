// Outbox folder and record locks (see the header).
#include "engine/Outbox.h"

#include <algorithm>
#include <memory>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("Outbox");
    return log;
}

struct Location {
    CriticalSection lock;
    std::wstring folder;
};

Location& TestLocation()
{
    static Location location;
    return location;
}

}  // namespace

// Ids are unique across processes: time, process id and a counter.
std::wstring NewOutboxId()
{
    static LONG counter = 0;
    wchar_t id[64];
    swprintf(id, 64, L"%016llx-%08lx-%04lx", static_cast<unsigned long long>(OutboxNow()),
             static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
    return id;
}

namespace {

bool ReadWholeFile(const std::wstring& path, std::string& bytes, bool& missing)
{
    missing = false;
    File file;
    if (!file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0)) {
        DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return false;
    }
    LONGLONG size = file.Size();
    // One byte past the limit tells an oversized file from a full one.
    if (size < 0) return false;
    DWORD want = static_cast<DWORD>(std::min<LONGLONG>(size, kMaxOutboxRecordBytes + 1));
    bytes.assign(want, '\0');
    if (want && (!file.Read(&bytes[0], want) || file.Transferred() != want)) return false;
    return true;
}

std::wstring Extension(const std::wstring& path)
{
    size_t dot = path.rfind(L'.');
    size_t slash = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return std::wstring();
    std::wstring extension = path.substr(dot);
    if (extension.size() > 8) return std::wstring();
    return extension;
}

}  // namespace

ULONGLONG OutboxNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

bool ReadFileStamp(const std::wstring& path, ULONGLONG& size, ULONGLONG& time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    time = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

OutboxFileState CheckRecordedFile(const OutboxRecord& record)
{
    if (IsWebAddress(record.path)) return OutboxFileState::Unchanged;
    ULONGLONG size = 0, time = 0;
    if (!ReadFileStamp(record.path, size, time)) return OutboxFileState::Missing;
    if (record.keptCopy) return OutboxFileState::Unchanged;
    return size == record.fileSize && time == record.fileTime ? OutboxFileState::Unchanged : OutboxFileState::Changed;
}

std::wstring Outbox::Location()
{
    {
        ScopedLock hold(TestLocation().lock);
        if (!TestLocation().folder.empty()) {
            CreateDirectoryW(TestLocation().folder.c_str(), nullptr);
            return TestLocation().folder;
        }
    }
    std::wstring data = UserDataFolder(true);
    if (data.empty()) return std::wstring();
    CreateDirectoryW(data.c_str(), nullptr);
    std::wstring folder = data + L"\\VellumpostToolbar";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\outbox\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    // Record and copy names need room within the path limit.
    if (folder.size() > MAX_PATH - 40) return std::wstring();
    return folder;
}

void Outbox::SetLocation(const std::wstring& folder)
{
    ScopedLock hold(TestLocation().lock);
    TestLocation().folder = folder;
    if (!folder.empty() && folder.back() != L'\\') TestLocation().folder += L'\\';
}

bool Outbox::Enabled()
{
    DWORD value = 1;
    return !SettingsStore().ReadNumber(L"Outbox", value) || value != 0;
}

ULONGLONG Outbox::FirstRetryDelayMs()
{
    DWORD value = 0;
    if (!SettingsStore().ReadNumber(L"OutboxRetryDelay", value)) return kOutboxFirstRetryMs;
    return value < 100 ? 100 : value > kOutboxLastRetryMs ? kOutboxLastRetryMs : value;
}

Outbox::Outbox(std::wstring folder) : folder_(std::move(folder)) {}

std::wstring Outbox::Add(const OutboxRecord& record, ULONGLONG copyBytes, OutboxAdmission& admission)
{
    admission = OutboxAdmission::Admitted;
    if (!IsUsable()) return std::wstring();
    // Counting names is enough for the record bound and keeps the write
    // ahead of a request cheap; only a new copy needs the kept bytes.
    admission = AdmitRecord(RecordIds().size(), copyBytes ? KeptBytes() : 0, copyBytes);
    if (admission != OutboxAdmission::Admitted) {
        Log().Write(admission == OutboxAdmission::TooManyRecords ? "Outbox full (records), not kept: "
                                                                 : "Outbox full (kept copies), not kept: ",
                    record.name.c_str());
        return std::wstring();
    }
    std::wstring id = NewOutboxId();
    return Write(id, record) ? id : std::wstring();
}

bool Outbox::Write(const std::wstring& id, const OutboxRecord& record)
{
    return IsUsable() && IsOutboxId(id) && WriteTo(id, RecordPath(id), record);
}

bool Outbox::WriteTo(const std::wstring& id, const std::wstring& path, const OutboxRecord& record)
{
    std::string bytes = SerializeOutboxRecord(record);
    if (bytes.empty()) return false;
    std::wstring temporary = folder_ + id + L".tmp";
    {
        File file;
        if (!file.Create(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0)) return false;
        // The bytes reach the disk before the rename, and the rename before
        // the call returns: after a power loss the record is the old one or
        // the new one, never a name over lost bytes.
        if (!file.Write(bytes.data(), static_cast<DWORD>(bytes.size())) || file.Transferred() != bytes.size() ||
            !FlushFileBuffers(file)) {
            file.Close();
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

void Outbox::MoveToDamaged(const std::wstring& fileName)
{
    std::wstring damaged = folder_ + L"damaged";
    CreateDirectoryW(damaged.c_str(), nullptr);
    std::wstring from = folder_ + fileName;
    if (MoveFileExW(from.c_str(), (damaged + L"\\" + fileName).c_str(), MOVEFILE_REPLACE_EXISTING))
        Log().Write("Damaged record moved aside: ", fileName.c_str());
    else
        Log().Write("Damaged record could not be moved: ", fileName.c_str());
}

bool Outbox::Read(const std::wstring& id, OutboxRecord& record)
{
    return IsUsable() && IsOutboxId(id) && ReadFrom(id + L".vpo", record);
}

bool Outbox::ReadFrom(const std::wstring& fileName, OutboxRecord& record)
{
    std::string bytes;
    bool missing = false;
    if (!ReadWholeFile(folder_ + fileName, bytes, missing)) {
        if (!missing) Log().Write("Record cannot be opened: ", fileName.c_str());
        return false;
    }
    if (ParseOutboxRecord(bytes, record)) return true;
    MoveToDamaged(fileName);
    return false;
}

bool Outbox::ReadGroup(const std::wstring& group, OutboxRecord& record)
{
    return IsUsable() && IsOutboxId(group) && ReadFrom(group + L".vpg", record);
}

bool Outbox::WriteGroup(const std::wstring& group, const OutboxRecord& record)
{
    return IsUsable() && IsOutboxId(group) && WriteTo(group, GroupPath(group), record);
}

void Outbox::RemoveGroup(const std::wstring& group)
{
    if (IsUsable() && IsOutboxId(group)) DeleteFileW(GroupPath(group).c_str());
}

bool Outbox::Remove(const std::wstring& id)
{
    if (!IsUsable() || !IsOutboxId(id)) return false;
    OutboxRecord record;
    bool known = Read(id, record);
    bool removed = DeleteFileW(RecordPath(id).c_str()) != FALSE;
    // Only a copy inside this folder is ever deleted, never a user's file.
    if (known && record.keptCopy && record.path.compare(0, folder_.size(), folder_) == 0 &&
        record.path.find(L"..") == std::wstring::npos)
        DeleteFileW(record.path.c_str());
    return removed;
}

bool Outbox::KeepCopy(const std::wstring& id, OutboxRecord& record)
{
    if (!IsUsable() || !IsOutboxId(id) || record.keptCopy) return false;
    std::wstring copy = folder_ + id + Extension(record.path);
    // A copy across volumes is on the disk before the record names it.
    if (!MoveFileExW(record.path.c_str(), copy.c_str(),
                     MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Log().Write("Cannot keep the file for a later attempt: ", record.path.c_str());
        return false;
    }
    OutboxRecord kept = record;
    kept.path = copy;
    kept.keptCopy = true;
    if (!Write(id, kept)) {
        // Without its record the copy would be lost: put the file back.
        MoveFileExW(copy.c_str(), record.path.c_str(), MOVEFILE_COPY_ALLOWED);
        return false;
    }
    record = kept;
    return true;
}

bool Outbox::GroupWaits(const std::wstring& group)
{
    for (const auto& entry : List())
        if (entry.record.kind == OutboxKind::SlideshowMember && entry.record.slideshow.group == group) return true;
    return false;
}

std::vector<std::wstring> Outbox::RecordIds()
{
    std::vector<std::wstring> ids;
    if (!IsUsable()) return ids;
    FileFind find;
    std::wstring pattern = folder_ + L"*.vpo";
    if (find.First(pattern.c_str())) {
        do {
            std::wstring name = find.Data().cFileName;
            if (name.size() <= 4 || (find.Data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
            std::wstring id = name.substr(0, name.size() - 4);
            if (!IsOutboxId(id)) {
                MoveToDamaged(name);
                continue;
            }
            ids.push_back(id);
        } while (ids.size() < 4 * kOutboxMaxRecords && find.Next());
    }
    return ids;
}

std::vector<Outbox::Entry> Outbox::List()
{
    std::vector<Entry> entries;
    for (const auto& id : RecordIds()) {
        Entry entry{id, OutboxRecord()};
        if (Read(id, entry.record)) entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.record.created != b.record.created ? a.record.created < b.record.created : a.id < b.id;
    });
    return entries;
}

ULONGLONG Outbox::KeptBytes()
{
    ULONGLONG total = 0;
    for (const auto& entry : List()) {
        ULONGLONG size = 0, time = 0;
        if (entry.record.keptCopy && ReadFileStamp(entry.record.path, size, time)) total += size;
    }
    return total;
}

void Outbox::NoteAnswered()
{
    if (!IsUsable()) return;
    const ULONGLONG mark = OutboxNow() ^ (static_cast<ULONGLONG>(GetCurrentThreadId()) << 48);
    File file;
    if (file.Create((folder_ + L"answered").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_ALWAYS, 0))
        file.Write(&mark, sizeof(mark));
}

ULONGLONG Outbox::AnsweredMark()
{
    ULONGLONG mark = 0;
    File file;
    if (IsUsable() && file.Create((folder_ + L"answered").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0))
        file.Read(&mark, sizeof(mark));
    return mark;
}

OutboxRecordLock::OutboxRecordLock(const std::wstring& id) : mutex_((L"VellumpostOutbox." + id).c_str()) {}

OutboxRecordLock::~OutboxRecordLock()
{
    if (held_) mutex_.Release();
}

bool OutboxRecordLock::TryAcquire()
{
    if (!held_) held_ = mutex_.Acquire(0);
    return held_;
}
