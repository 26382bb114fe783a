// The per-user outbox folder: one record file per waiting upload (written to
// a temporary name and renamed over the old one, so a reader sees the old or
// the new record, never a torn one), the copies of product-made files that
// wait with them, and a "damaged" folder for records that cannot be read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Locks.h"
#include "engine/OutboxPolicy.h"
#include "engine/OutboxRecord.h"

class Outbox {
public:
    // The outbox of this user: "VellumpostToolbar\outbox\" under the data
    // folder the browser may write at low integrity (or the folder set for
    // tests). Empty when it cannot be made.
    static std::wstring Location();
    // Tests keep their outbox apart; an empty folder restores the default.
    static void SetLocation(const std::wstring& folder);
    // The "Outbox" setting (on unless 0): off, uploads run as without it.
    static bool Enabled();
    // The first retry's delay: the "OutboxRetryDelay" setting (milliseconds,
    // held to 0.1 s..30 min, for machines and tests that cannot wait) or 30 s.
    static ULONGLONG FirstRetryDelayMs();

    // folder ends with a separator; an empty folder makes an outbox that
    // refuses every write.
    explicit Outbox(std::wstring folder = Location());

    const std::wstring& Folder() const { return folder_; }
    bool IsUsable() const { return !folder_.empty(); }

    // Writes a new record after checking the bounds against what is kept;
    // returns its id, or empty (admission says why) when it is not kept.
    std::wstring Add(const OutboxRecord& record, ULONGLONG copyBytes, OutboxAdmission& admission);
    // Replaces the record of id.
    bool Write(const std::wstring& id, const OutboxRecord& record);
    // False when the record is gone; a record that cannot be read is moved
    // to the damaged folder (with a log line) and reads as gone.
    bool Read(const std::wstring& id, OutboxRecord& record);
    // Deletes the record and the copy it keeps.
    bool Remove(const std::wstring& id);
    // Moves the file a record names, which the product made, into the
    // outbox as the record's copy, and writes the record.
    bool KeepCopy(const std::wstring& id, OutboxRecord& record);

    struct Entry {
        std::wstring id;
        OutboxRecord record;
    };
    // The record a group of records shares (a slideshow's links), kept
    // beside its members and never listed with them.
    bool ReadGroup(const std::wstring& group, OutboxRecord& record);
    bool WriteGroup(const std::wstring& group, const OutboxRecord& record);
    void RemoveGroup(const std::wstring& group);
    // Whether a member of group still waits.
    bool GroupWaits(const std::wstring& group);

    // Every readable record, oldest first; damaged ones are moved away.
    std::vector<Entry> List();
    // The bytes of kept copies.
    ULONGLONG KeptBytes();

    // Marks that the service answered an upload, for senders that wait in
    // other threads and processes; they compare the mark before and after.
    void NoteAnswered();
    ULONGLONG AnsweredMark();

private:
    // The ids of the record files (names that are no id go to "damaged").
    std::vector<std::wstring> RecordIds();
    std::wstring RecordPath(const std::wstring& id) const { return folder_ + id + L".vpo"; }
    std::wstring GroupPath(const std::wstring& group) const { return folder_ + group + L".vpg"; }
    bool WriteTo(const std::wstring& id, const std::wstring& path, const OutboxRecord& record);
    bool ReadFrom(const std::wstring& fileName, OutboxRecord& record);
    void MoveToDamaged(const std::wstring& fileName);

    std::wstring folder_;
};

// A new id for a record or a group, unique across processes.
std::wstring NewOutboxId();

// Whether the user's file of a record is still the one recorded.
enum class OutboxFileState { Unchanged, Missing, Changed };
OutboxFileState CheckRecordedFile(const OutboxRecord& record);
// The size and last-write time of a file, for recording; false when it
// cannot be read.
bool ReadFileStamp(const std::wstring& path, ULONGLONG& size, ULONGLONG& time);
// Now, as FILETIME units.
ULONGLONG OutboxNow();

// Only the holder of a record's lock sends it. The lock is a mutex named
// after the record, so the system releases it when its process ends; like
// every mutex it belongs to the thread that took it.
class OutboxRecordLock {
public:
    explicit OutboxRecordLock(const std::wstring& id);
    ~OutboxRecordLock();
    OutboxRecordLock(const OutboxRecordLock&) = delete;
    OutboxRecordLock& operator=(const OutboxRecordLock&) = delete;

    // Takes the lock without waiting; false when another holder has it.
    bool TryAcquire();
    bool Held() const { return held_; }

private:
    NamedMutex mutex_;
    bool held_ = false;
};
