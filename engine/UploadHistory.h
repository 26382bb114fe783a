// The upload history: the most recent upload results in the History key of
// the settings, one text value per field and entry, oldest first. Every
// operation holds a lock shared by all threads and processes of the session,
// so an entry is always written or moved whole.
#pragma once

#include <windows.h>

#include <vector>

#include "common/Locks.h"
#include "common/SettingsStore.h"
#include "engine/ImageTarget.h"

class UploadHistory {
public:
    explicit UploadHistory(SettingsStore& store);
    UploadHistory(const UploadHistory&) = delete;
    UploadHistory& operator=(const UploadHistory&) = delete;

    DWORD MaxHistory() const { return store_.MaxHistory(); }
    // Entries 0..n-1 that have an image link; the first without one ends the list.
    int HistoryCount();
    // Clears result, then fills it from entry index (a missing value leaves its field absent).
    void ReadHistoryEntry(int index, CUploadResult& result);
    // Writes the stored fields of result; an absent field deletes its value.
    void WriteHistoryEntry(int index, const CUploadResult& result);
    // Moves the later entries down by one and deletes the last.
    void RemoveHistoryEntry(int index);
    // Appends result, first dropping the oldest entry when the history is
    // full; returns the index written.
    int AddHistoryEntry(const CUploadResult& result);

    // Held by every operation above; the operations nest, so a caller that
    // combines several holds it around all of them.
    Lockable& Lock() { return lock_; }

    // No history scan goes past this many entries.
    static const int kMaxEntries = 10000;

private:
    bool HasImageLink(int index) const;

    // The session-wide mutex, then the store's own lock, which alone still
    // serialises this store's users when the mutex cannot be had.
    class HistoryLock : public Lockable {
    public:
        explicit HistoryLock(Lockable& local);
        ~HistoryLock() override;
        HistoryLock(const HistoryLock&) = delete;
        HistoryLock& operator=(const HistoryLock&) = delete;
        void Lock() override;
        void Unlock() override;

    private:
        Lockable& local_;
        HANDLE mutex_;
    };

    SettingsStore& store_;
    HistoryLock lock_;
};

// The toolbar's copy of the history for its menu, written through to the
// store. Another process's additions are not seen until the next Load.
class ToolbarHistory {
public:
    // Reads entries 0..MaxHistory-1, ending at the first without image link.
    void Load(UploadHistory& history);
    // Appends result to the list and the store, dropping the oldest of both
    // when the list holds the limit of the last Load; returns true when the
    // list was empty before (the toolbar then enables its history button).
    bool Add(UploadHistory& history, const CUploadResult& result);

    const std::vector<CUploadResult>& Items() const { return items_; }
    DWORD Limit() const { return limit_; }

private:
    std::vector<CUploadResult> items_;
    DWORD limit_ = 10;
};

// Adds every uploaded item to the history (uploads without a toolbar band).
class CHistoryImageTarget : public ImageTarget {
public:
    void OnItemUploaded(const CUploadResult& result) override;
};
