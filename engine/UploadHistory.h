// The upload history: the most recent upload results in the History key of
// the settings, one text value per field and entry, oldest first. Every
// operation holds a lock shared by all threads and processes of the session,
// so an entry is always written or moved whole; an operation that cannot get
// that lock in time fails instead of waiting forever.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Locks.h"
#include "common/SettingsStore.h"
#include "engine/ImageTarget.h"

class UploadHistory {
public:
    explicit UploadHistory(SettingsStore& store);
    UploadHistory(const UploadHistory&) = delete;
    UploadHistory& operator=(const UploadHistory&) = delete;

    // The MaxHistory setting; a limit below 1 counts as 1.
    DWORD MaxHistory() const;
    // Entries 0..n-1 that have an image link; the first without one ends the
    // list. -1 when the history lock cannot be had.
    int HistoryCount();
    // Clears result, then fills it from entry index (a missing value leaves
    // its field absent). The operations below return false, having changed
    // nothing, when the history lock cannot be had.
    bool ReadHistoryEntry(int index, CUploadResult& result);
    // Writes the stored fields of result; an absent field deletes its value.
    bool WriteHistoryEntry(int index, const CUploadResult& result);
    // Moves the later entries down by one and deletes the last.
    bool RemoveHistoryEntry(int index);
    // Appends result, first dropping the oldest entry when the history is
    // full; returns the index written, or -1.
    int AddHistoryEntry(const CUploadResult& result);

    // Holds the history lock across several operations, which nest inside
    // it. Any process of the session may hold the lock, so it is waited for
    // a bounded time only; test the hold before going on.
    class Hold {
    public:
        explicit Hold(UploadHistory& history);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        explicit operator bool() const { return held_; }

    private:
        UploadHistory& history_;
        bool held_;
    };

    // No history scan goes past this many entries.
    static const int kMaxEntries = 10000;

    // The session-wide lock's name and longest wait. Parallel test processes
    // share the session's object names, so a test that holds the lock on
    // purpose uses a name of its own; an empty name restores the defaults.
    static void SetLockLocation(const std::wstring& name, DWORD waitMs);

    struct LockLocation {
        std::wstring name;
        DWORD waitMs;
    };

private:
    UploadHistory(SettingsStore& store, const LockLocation& lock);
    bool HasImageLink(int index) const;
    bool AcquireLock();
    void ReleaseLock();

    SettingsStore& store_;
    // The session-wide mutex, then the store's own lock, which alone still
    // serialises this store's users when no mutex could be made.
    NamedMutex mutex_;
    DWORD waitMs_;
    Lockable& local_;
};

// The toolbar's copy of the history for its paste menu. Every addition goes
// through the store under the history lock and reads the list again, so the
// copies of several browser windows and the uploads of other processes never
// overwrite each other's entries.
class ToolbarHistory {
public:
    // Reads the newest entries of the history, at most MaxHistory of them,
    // oldest first. False, with the list unchanged, when the history cannot
    // be read.
    bool Load(UploadHistory& history);
    // Adds result to the history and reads the list again. Returns true when
    // the list was empty before (the toolbar then enables its history
    // button). When the history cannot be written, the result is still added
    // to this list, so that the window can offer it.
    bool Add(UploadHistory& history, const CUploadResult& result);

    const std::vector<CUploadResult>& Items() const { return items_; }

private:
    std::vector<CUploadResult> items_;
};

// Adds every uploaded item to the history (uploads without a toolbar band).
class CHistoryImageTarget : public ImageTarget {
public:
    void OnItemUploaded(const CUploadResult& result) override;
};
