// Write-ahead of upload items (see the header).
#include "engine/OutboxTracker.h"

#include "common/LogWriter.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("OutboxTracker");
    return log;
}

}  // namespace

OutboxTracker::OutboxTracker() : outbox_(Outbox::Enabled() ? Outbox::Location() : std::wstring())
{
    enabled_ = outbox_.IsUsable();
}

OutboxTracker::~OutboxTracker()
{
    // Whatever was not answered by now stays for the next attempt.
    try {
        for (auto& item : items_) Keep(item.second);
    } catch (...) {
        Log().Write("EXCEPTION on keeping waiting uploads");
    }
}

void OutboxTracker::Resume(int index, const std::wstring& id, const OutboxRecord& record)
{
    if (!enabled_) return;
    Tracked& tracked = items_[index];
    tracked.id = id;
    tracked.record = record;
    tracked.resumed = true;
    tracked.failed = true;  // it failed before: it stays unless sent
}

void OutboxTracker::BeforeSend(int index, const CUploadItem& item, bool removeSizeBar, int statistics,
                               bool madeByProduct)
{
    if (!enabled_) return;
    auto found = items_.find(index);
    if (found != items_.end()) {
        if (!found->second.resumed) return;
        // Each attempt of a waiting record is counted before it starts, so
        // an attempt cut short by the process's end still counts.
        ++found->second.record.attempts;
        outbox_.Write(found->second.id, found->second.record);
        return;
    }
    OutboxRecord record;
    record.kind = OutboxKind::File;
    record.path = item.LocalPath();
    record.name = item.Path();
    record.optsize = item.optsize;
    record.tags = item.tags;
    record.isPublic = item.isPublic;
    record.removeSizeBar = removeSizeBar;
    record.statistics = statistics;
    record.created = OutboxNow();
    ULONGLONG size = 0, time = 0;
    if (ReadFileStamp(record.path, size, time)) {
        record.fileSize = size;
        record.fileTime = time;
    }
    OutboxAdmission admission = OutboxAdmission::Admitted;
    std::wstring id = outbox_.Add(record, madeByProduct ? size : 0, admission);
    if (id.empty()) {
        if (admission != OutboxAdmission::Admitted)
            Log().Write("Item goes without a later attempt, the outbox is full: ", record.name.c_str());
        return;
    }
    Tracked& tracked = items_[index];
    tracked.id = id;
    tracked.record = record;
    tracked.madeByProduct = madeByProduct;
    tracked.lock = std::make_unique<OutboxRecordLock>(id);
    tracked.lock->TryAcquire();
}

void OutboxTracker::Sent(int index)
{
    auto found = items_.find(index);
    if (found == items_.end()) return;
    outbox_.Remove(found->second.id);
    items_.erase(found);
    outbox_.NoteAnswered();
}

void OutboxTracker::Failed(int index, OutboxFailure failure, const std::wstring& reason)
{
    auto found = items_.find(index);
    if (found == items_.end()) return;
    if (!KeepsAfter(failure)) {
        Log().Write("Refused for good, not kept: ", found->second.record.name.c_str());
        outbox_.Remove(found->second.id);
        items_.erase(found);
        return;
    }
    Tracked& tracked = found->second;
    tracked.failed = true;
    tracked.record.lastFailure = reason.substr(0, 200);
    if (!tracked.resumed) ++tracked.record.attempts;
    tracked.record.nextAttempt =
        OutboxNow() + RetryDelayMs(tracked.record.attempts, GetTickCount() ^ GetCurrentThreadId()) * 10000;
    outbox_.Write(tracked.id, tracked.record);
}

void OutboxTracker::Abandon(int index)
{
    auto found = items_.find(index);
    if (found == items_.end()) return;
    if (found->second.failed) {
        Keep(found->second);
    } else {
        outbox_.Remove(found->second.id);
    }
    items_.erase(found);
}

void OutboxTracker::Keep(Tracked& tracked)
{
    if (tracked.madeByProduct && !tracked.record.keptCopy && outbox_.KeepCopy(tracked.id, tracked.record))
        Log().Write("Kept for a later attempt: ", tracked.record.path.c_str());
    tracked.lock.reset();
}
