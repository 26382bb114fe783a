// Write-ahead of upload items (see the header).
#include "engine/OutboxTracker.h"

#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "engine/OutboxSender.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("OutboxTracker");
    return log;
}

}  // namespace

OutboxRecord OutboxRecordOfItem(const CUploadItem& item, bool removeSizeBar, int statistics)
{
    OutboxRecord record;
    const bool address = !item.IsFileUrl() && IsWebAddress(item.Path());
    record.kind = address ? OutboxKind::Transload : OutboxKind::File;
    record.path = address ? item.Path() : item.LocalPath();
    record.name = record.path;
    record.optsize = item.optsize;
    record.tags = item.tags;
    record.isPublic = item.isPublic;
    record.removeSizeBar = removeSizeBar;
    record.statistics = statistics;
    if (!address) ReadFileStamp(record.path, record.fileSize, record.fileTime);
    return record;
}

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

void OutboxTracker::BeforeSend(int index, OutboxRecord record, bool madeByProduct)
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
    record.created = OutboxNow();
    OutboxAdmission admission = OutboxAdmission::Admitted;
    std::wstring id = outbox_.Add(record, madeByProduct ? record.fileSize : 0, admission);
    if (id.empty()) {
        if (admission != OutboxAdmission::Admitted) {
            Log().Write("Item goes without a later attempt, the outbox is full: ", record.name.c_str());
            leftOut_.insert(index);
        }
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
        OutboxNow() + RetryDelayMs(tracked.record.attempts, GetTickCount() ^ GetCurrentThreadId(),
                                    Outbox::FirstRetryDelayMs()) * 10000;
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

bool OutboxTracker::FinishGroup(const std::wstring& group, std::map<int, std::wstring>& links)
{
    if (!enabled_ || group.empty()) return true;
    // Two senders may finish members of one group at once; the one that
    // comes second sees the other's links.
    NamedMutex lock((L"VellumpostOutboxGroup." + group).c_str());
    const bool held = lock.Acquire(30000);
    OutboxRecord shared;
    if (outbox_.ReadGroup(group, shared)) links.insert(shared.slideshow.links.begin(), shared.slideshow.links.end());
    const bool waiting = outbox_.GroupWaits(group);
    if (waiting) {
        shared = OutboxRecord();
        shared.kind = OutboxKind::SlideshowMember;
        shared.path = shared.name = group;
        shared.created = OutboxNow();
        shared.slideshow.group = group;
        shared.slideshow.links = links;
        if (!outbox_.WriteGroup(group, shared)) Log().Write("The links of a slideshow cannot be kept: ", group.c_str());
    } else {
        outbox_.RemoveGroup(group);
    }
    if (held) lock.Release();
    return !waiting;
}

void OutboxTracker::Keep(Tracked& tracked)
{
    if (tracked.madeByProduct && !tracked.record.keptCopy && outbox_.KeepCopy(tracked.id, tracked.record))
        Log().Write("Kept for a later attempt: ", tracked.record.path.c_str());
    const bool held = tracked.lock && tracked.lock->Held();
    tracked.lock.reset();
    // Released only now, so the sender can take it at once.
    if (held) ResumeOutboxSender();
}
