// The tag upload queue strategy (see the header).
#include "engine/QueueStrategy.h"

#include <algorithm>
#include <set>

#include "common/LogWriter.h"
#include "common/Locks.h"
#include "common/SettingsKey.h"
#include "common/TextConvert.h"
#include "engine/CancelTagging.h"
#include "engine/ImageTarget.h"
#include "engine/ImageUploader.h"
#include "engine/Progress.h"
#include "engine/TemporaryFiles.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CQueueStrategy");
    return log;
}


const wchar_t kQueueEventName[] = L"VellumpostTagUploadQueueEvent";

// A file that another process is still writing (or reading) cannot be opened
// for a moment; these tries bridge that.
const int kOpenRetries = 5;
const DWORD kOpenRetryDelayMs = 100;

struct QueueLocation {
    std::wstring folder;
    std::wstring eventName;
};

CriticalSection& LocationLock()
{
    static CriticalSection lock;
    return lock;
}

QueueLocation& OverriddenLocation()
{
    static QueueLocation location;
    return location;
}

std::wstring WithSeparator(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

// The queue files that the passes of this process's current run have taken
// up. One that is still there after its pass could not be deleted (or its
// item could not be sent); taken up again, it would be sent again by every
// pass the restart target starts, without end. A run ends when a pass finds
// nothing left to do or is canceled, and a new one starts with a pass of
// newly tagged items.
class QueueRun {
public:
    static QueueRun& Current()
    {
        static QueueRun run;
        return run;
    }
    void Start()
    {
        ScopedLock hold(lock_);
        taken_.clear();
    }
    void Take(const std::wstring& name)
    {
        ScopedLock hold(lock_);
        if (!name.empty()) taken_.insert(name);
    }
    bool Taken(const std::wstring& name)
    {
        ScopedLock hold(lock_);
        return taken_.count(name) != 0;
    }

private:
    CriticalSection lock_;
    std::set<std::wstring> taken_;
};

bool OpenWithRetries(File& file, const std::wstring& name, DWORD access, DWORD share, DWORD disposition)
{
    for (int attempt = 0;; ++attempt) {
        if (file.Create(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL)) return true;
        if (attempt == kOpenRetries) return false;
        Sleep(kOpenRetryDelayMs);
    }
}

}  // namespace

void CQueueStrategy::SetQueueLocation(const std::wstring& folder, const std::wstring& eventName)
{
    ScopedLock hold(LocationLock());
    OverriddenLocation() = {WithSeparator(folder), eventName};
}

std::wstring CQueueStrategy::UserQueueFolder()
{
    std::wstring data = UserDataFolder(true);
    if (data.empty()) {
        Log().Write("Failed to obtain Application Data Folder");
        return std::wstring();
    }
    // The "Low" data folder of later Windows versions may not exist yet.
    CreateDirectoryW(data.c_str(), nullptr);
    std::wstring folder = data + L"\\VellumpostToolbar";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\upload";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\";
    // Temporary names need room for "tagXXXX.tmp" within the path limit.
    if (folder.size() > MAX_PATH - 14) {
        Log().Write("Failed to obtain Application Data Folder");
        return std::wstring();
    }
    return folder;
}

CQueueStrategy::CQueueStrategy()
{
    QueueLocation location;
    {
        ScopedLock hold(LocationLock());
        location = OverriddenLocation();
    }
    if (location.folder.empty()) {
        queueFolder_ = UserQueueFolder();
    } else {
        CreateDirectoryW(location.folder.c_str(), nullptr);
        queueFolder_ = location.folder;
    }
    eventName_ = location.eventName.empty() ? std::wstring(kQueueEventName) : location.eventName;
}

CQueueStrategy::~CQueueStrategy()
{
    Log().Format("Destroying queue strategy %s", LogAddress(this).c_str());
}

HRESULT CQueueStrategy::Initialize(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                                   const VARIANT& tags)
try {
    // The browser may run at low integrity while Explorer does not: the
    // event carries the label that lets both open it, whichever made it.
    SharedObjectSecurity security;
    SetLastError(ERROR_SUCCESS);
    HANDLE event = CreateEventW(security.Get(), TRUE, FALSE, eventName_.c_str());
    bool existed = event && GetLastError() == ERROR_ALREADY_EXISTS;
    if (!event) {
        // An event made with other security may refuse this process full
        // access; that it can be opened at all means a pass is running.
        event = OpenEventW(SYNCHRONIZE, FALSE, eventName_.c_str());
        existed = event != nullptr;
    }
    queueEvent_.Attach(event);
    if (!queueEvent_.IsValid()) {
        Log().Format("Cannot create the queue event, error %lu", GetLastError());
        return E_FAIL;
    }

    if (existed) {
        // A pass is running elsewhere: queue the items for the pass after it.
        // This strategy runs nothing, so it lets go of the event at once; held
        // longer it would only make a restarting pass think one is running.
        queueEvent_.Close();
        if (V_VT(&items) == VT_EMPTY) return 1;
        if (V_VT(&tags) == VT_EMPTY || SetItems(items) != 0) return E_FAIL;
        // The files are all the next pass knows of these items, so the
        // user's permission and size go into them as well as the tags.
        SetPublic(publicFlags);
        SetOptSize(optsize);
        SetTags(tags);
        WriteQueueFiles();
        return 1;
    }

    if (V_VT(&items) == VT_EMPTY) {
        ReadQueueFiles();
        if (!items_.empty()) {
            for (const std::wstring& name : queueFiles_) QueueRun::Current().Take(name);
            return 0;
        }
        Log().Write("The upload queue is empty");
        QueueRun::Current().Start();
        queueEvent_.Close();
        return 1;
    }
    HRESULT hr = CTransloadStrategy::Initialize(items, optsize, publicFlags, tags);
    if (hr != 0) return hr;
    QueueRun::Current().Start();
    WriteQueueFiles();
    for (const std::wstring& name : queueFiles_) QueueRun::Current().Take(name);
    return 0;
} catch (...) {
    Log().Format("EXCEPTION on Initialize %s", LogAddress(this).c_str());
    return E_FAIL;
}

void CQueueStrategy::WriteQueueFiles()
{
    queueFiles_.assign(items_.size(), std::wstring());
    for (size_t i = 0; i < items_.size(); ++i) {
        const CUploadItem& item = items_[i];
        wchar_t name[MAX_PATH] = {};
        // An unknown folder would scatter files into whatever the current folder is.
        if (queueFolder_.empty() || !GetTempFileNameW(queueFolder_.c_str(), L"tag", 0, name)) {
            Log().Write("Cannot create file ", (queueFolder_ + L"tag*.tmp").c_str());
            continue;
        }
        File file;
        if (!OpenWithRetries(file, name, GENERIC_WRITE, 0, CREATE_ALWAYS)) {
            Log().Write("Cannot create file ", name);
            // An empty file would only be skipped by every later pass.
            DeleteFileW(name);
            continue;
        }
        QueueRecord record;
        record.path = item.Path();
        record.tags = Widen(item.tags);
        record.isPublic = item.isPublic;
        record.size = Widen(item.optsize);
        record.removeSizeBar = removeSizeBar_;
        const std::string bytes = EncodeQueueRecord(record);
        if (!file.Write(bytes.data(), static_cast<DWORD>(bytes.size())) || file.Transferred() != bytes.size()) {
            Log().Write("Cannot write file ", name);
            file.Close();
            DeleteFileW(name);
            continue;
        }
        queueFiles_[i] = name;
    }
}

bool CQueueStrategy::ReadQueueFile(const std::wstring& name, QueueRecord& record)
{
    File file;
    if (!OpenWithRetries(file, name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING)) {
        Log().Write("Cannot create file ", name.c_str());
        return false;
    }
    const LONGLONG size = file.Size();
    if (size < 0 || size > static_cast<LONGLONG>(kMaxQueueFileBytes)) {
        Log().Write("Damaged queue file skipped (size): ", name.c_str());
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && (!file.Read(&bytes[0], static_cast<DWORD>(size)) || file.Transferred() != bytes.size())) {
        Log().Write("Cannot read file ", name.c_str());
        return false;
    }
    std::string problem;
    if (!DecodeQueueRecord(bytes.data(), bytes.size(), record, problem)) {
        Log().Write(("Damaged queue file skipped (" + problem + "): ").c_str(), name.c_str());
        return false;
    }
    return true;
}

void CQueueStrategy::ReadQueueFiles()
{
    std::vector<std::wstring> names;
    if (!queueFolder_.empty()) {
        FileFind find;
        if (find.First((queueFolder_ + L"tag*.tmp").c_str())) {
            do {
                if (find.Data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                const std::wstring name = queueFolder_ + find.Data().cFileName;
                if (QueueRun::Current().Taken(name))
                    Log().Write("Already taken up in this run, left for a later one: ", name.c_str());
                else
                    names.push_back(name);
            } while (find.Next());
        }
    }
    items_.assign(names.size(), CUploadItem());
    queueFiles_ = names;

    // One pass sends every item with the same size-bar choice: the first
    // usable record decides, and items that differ wait for a later pass.
    // Records that are never uploaded (damaged, or without path or tags) stay
    // on disk, so letting them decide could keep the others waiting forever.
    bool flagSet = false;
    for (size_t i = 0; i < names.size(); ++i) {
        QueueRecord record;
        if (!ReadQueueFile(names[i], record)) continue;
        const std::string tags = Narrow(record.tags);
        if (record.path.empty() || tags.empty()) continue;
        if (!flagSet) {
            removeSizeBar_ = record.removeSizeBar;
            flagSet = true;
        } else if (record.removeSizeBar != removeSizeBar_) {
            continue;
        }
        CUploadItem& item = items_[i];
        item.SetPath(record.path);
        item.tags = tags;
        item.isPublic = record.isPublic;
        item.optsize = Narrow(record.size);
    }

    // Items left empty leave the list; their files stay where they are.
    for (size_t i = items_.size(); i-- > 0;) {
        if (items_[i].Path().empty() || items_[i].tags.empty()) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            queueFiles_.erase(queueFiles_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

void CQueueStrategy::DeleteQueueFile(int index)
{
    if (index < 0 || index >= static_cast<int>(queueFiles_.size())) return;
    std::wstring& name = queueFiles_[static_cast<size_t>(index)];
    if (name.empty()) return;
    // A file that stayed would be uploaded again by every later pass, so a
    // read-only one is made writable first.
    if (!DeleteFileW(name.c_str()) &&
        !(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL) && DeleteFileW(name.c_str())))
        Log().Write("Cannot delete file ", name.c_str());
    name.clear();
}

OutboxRecord CQueueStrategy::OutboxRecordOf(const CUploadItem& item)
{
    OutboxRecord record = CTransloadStrategy::OutboxRecordOf(item);
    record.kind = OutboxKind::TagQueueItem;
    return record;
}

HRESULT CQueueStrategy::PrepareRequest(CMultipartFormData& form)
{
    const HRESULT hr = CTransloadStrategy::PrepareRequest(form);
    // One place holds an item: with its record in the outbox, which sends it
    // again after a failure that may pass, a later pass must not find it.
    if (outbox_.Tracks(currentIndex_)) DeleteQueueFile(currentIndex_);
    // An item that cannot be prepared (its picture cannot be resized or
    // thumbnailed) has been reported to the user and would fail the same way
    // in every later pass, so it leaves the queue as a failed upload does. A
    // canceled upload keeps what the cancel answer decided.
    if (FAILED(hr) && !(uploader_ && uploader_->IsCanceled())) OnItemFailed();
    return hr;
}

void CQueueStrategy::OnItemDone()
{
    CTransloadStrategy::OnItemDone();
    DeleteQueueFile(currentIndex_);
}

void CQueueStrategy::OnItemFailed()
{
    CTransloadStrategy::OnItemFailed();
    DeleteQueueFile(currentIndex_);
}

int CQueueStrategy::QueryCancel(bool force)
try {
    const bool hasCurrent = currentIndex_ >= 0 && currentIndex_ < GetItemCount();
    if (!force) {
        HWND owner = nullptr;
        if (IProgress* progress = uploader_ ? uploader_->GetProgress() : nullptr) owner = progress->GetWindow();
        const int answer = cancelQuestion_ ? cancelQuestion_(owner) : CCancelTagging().DoModal(owner);
        if (answer == IDCANCEL) return 1;
        if (answer != IDYES) {
            // Continue later: the pass stops, its queue files stay for a later
            // one (the current item, once recorded, waits in the outbox
            // instead), and only the copies made for the current item go. A
            // canceled pass restarts nothing, so the run ends here and the
            // next run takes the files up again.
            Log().Write("Tagging continues later");
            QueueRun::Current().Start();
            if (hasCurrent) {
                const CUploadItem& item = GetCurrentItem();
                for (const std::wstring* path : {&item.convertedPath, &item.thumbnailSource, &item.thumbnailFile})
                    RemoveTemporaryFile(*path);
            }
            return 0;
        }
    }
    Log().Write("Tagging canceled");
    QueueRun::Current().Start();
    if (hasCurrent) {
        // Its record stays only when an attempt of it failed.
        outbox_.Abandon(currentIndex_);
        RemoveTemporaryFiles();
    }
    for (int i = std::max(currentIndex_, 0); i < GetItemCount(); ++i) {
        DeleteQueueFile(i);
        RemoveTemporaryFile(items_[static_cast<size_t>(i)].Path());
    }
    return 0;
} catch (...) {
    Log().Format("EXCEPTION on QueryCancel %s", LogAddress(this).c_str());
    return 0;
}

HRESULT CQueueStrategy::UploadComplete()
try {
    Log().Write("UploadComplete...");
    // The pass is over before the next one is asked to start.
    queueEvent_.Close();
    target_->OnUploadComplete(results_);
    return 0;
} catch (...) {
    Log().Format("EXCEPTION on UploadComplete %s", LogAddress(this).c_str());
    return E_FAIL;
}
