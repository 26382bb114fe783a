// Keeps the items of one upload in the outbox from just before their request
// until their answer is in the history, so that an item whose upload failed
// in a way that may pass, or whose process ended mid-request, is sent later.
// The strategy calls it on its upload thread; the record locks it takes
// belong to that thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/Outbox.h"
#include "engine/OutboxPolicy.h"
#include "engine/UploadItem.h"

// The record of item with the upload's options: a local file by its path
// (with its size and time), an http or https address as a transload.
OutboxRecord OutboxRecordOfItem(const CUploadItem& item, bool removeSizeBar, int statistics);

class OutboxTracker {
public:
    // Tracks nothing when the outbox is off or cannot be made.
    OutboxTracker();
    ~OutboxTracker();
    OutboxTracker(const OutboxTracker&) = delete;
    OutboxTracker& operator=(const OutboxTracker&) = delete;

    // Item index is the waiting record id, sent again by a caller that
    // holds its lock.
    void Resume(int index, const std::wstring& id, const OutboxRecord& record);

    // Before each request of item index. The first call writes record (what
    // the strategy would send again; its time is set here); madeByProduct
    // says that the file is the product's own temporary file, which the
    // outbox keeps should the item not be sent.
    void BeforeSend(int index, OutboxRecord record, bool madeByProduct);
    // The same for a plain file upload of item.
    void BeforeSend(int index, const CUploadItem& item, bool removeSizeBar, int statistics, bool madeByProduct)
    {
        BeforeSend(index, OutboxRecordOfItem(item, removeSizeBar, statistics), madeByProduct);
    }
    // Whether item index has a record in the outbox now.
    bool Tracks(int index) const { return items_.count(index) != 0; }
    // The item's answer is in the history: its record and kept copy go, and
    // the senders of the session learn that the service answers again.
    void Sent(int index);
    // An attempt failed; a refusal that will not change drops the record.
    void Failed(int index, OutboxFailure failure, const std::wstring& reason);
    // The upload of the item ends without an answer. A record whose attempt
    // failed stays (with the product's file moved into the outbox); one the
    // user gave up without a failure goes.
    void Abandon(int index);
    // True when item index was not recorded because the outbox was at its
    // bounds: a failure of it is not sent later, which the user must learn.
    bool LeftOut(int index) const { return leftOut_.count(index) != 0; }

    // The members of group (a slideshow's pictures) on the service: links by
    // place. Under the group's lock, adds them to the links the group holds;
    // true, with links then holding every member's, when no record of the
    // group waits any more (the group's record goes), false when some still
    // wait (the links stay for whoever sends the last of them). Always true
    // with the outbox off.
    bool FinishGroup(const std::wstring& group, std::map<int, std::wstring>& links);

private:
    struct Tracked {
        std::wstring id;
        OutboxRecord record;
        std::unique_ptr<OutboxRecordLock> lock;
        bool madeByProduct = false;
        bool failed = false;
        bool resumed = false;
    };
    void Keep(Tracked& tracked);

    Outbox outbox_;
    bool enabled_;
    std::map<int, Tracked> items_;
    std::set<int> leftOut_;
};
