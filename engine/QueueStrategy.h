// The tag upload queue: every tagged item is written into a small file in a
// per-user queue folder, and at most one upload (a "pass") works through that
// folder at a time. A named event marks that a pass is running; items tagged
// meanwhile only get files, and the restart target starts the next pass when
// the running one ends. Files that cannot be read, or hold damaged records,
// are skipped and stay where they are; a file that a pass took up and could
// not delete is not taken up again by the passes that follow it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Handle.h"
#include "engine/QueueFile.h"
#include "engine/TransloadStrategy.h"

class CQueueStrategy : public CTransloadStrategy {
public:
    // Asks whether to cancel the pass: IDYES cancels, IDCANCEL goes on, IDNO
    // ("continue later") cancels and keeps the queue files for a later pass.
    using CancelQuestion = std::function<int(HWND owner)>;

    CQueueStrategy();
    ~CQueueStrategy() override;

    // 0: this strategy runs a pass over its items; 1: nothing is started here
    // (a pass is running elsewhere and the items were queued, or the queue is
    // empty); a failure otherwise. All four arguments empty: read the queue.
    HRESULT Initialize(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                       const VARIANT& tags) override;
    // Ends the pass (the event goes) and hands the results to the target,
    // which starts the next pass; no page is opened.
    HRESULT UploadComplete() override;
    int QueryCancel(bool force) override;
    // An item that cannot be prepared fails as one the service refused.
    HRESULT PrepareRequest(CMultipartFormData& form) override;
    void OnItemDone() override;
    void OnItemFailed() override;

    // Replaces the cancel dialog (tests, or callers without a window).
    void SetCancelQuestion(CancelQuestion question) { cancelQuestion_ = std::move(question); }

    const std::wstring& QueueFolder() const { return queueFolder_; }
    // Entry i is the queue file of item i (empty when it could not be written).
    const std::vector<std::wstring>& QueueFileNames() const { return queueFiles_; }
    bool HoldsQueueEvent() const { return queueEvent_.IsValid(); }

    // The queue of this user: the folder below the user's data folder and the
    // event "VellumpostTagUploadQueueEvent". Parallel test processes share the
    // file system and the session's object names, so tests give each process
    // a folder and an event name of its own; empty texts restore the defaults.
    static void SetQueueLocation(const std::wstring& folder, const std::wstring& eventName);
    // The user's queue folder with a trailing "\", created when missing; empty
    // when the data folder cannot be obtained.
    static std::wstring UserQueueFolder();

protected:
    // One queue file per item, written in the queue folder.
    void WriteQueueFiles();
    // Fills the items from the queue folder; damaged and unreadable files are skipped.
    void ReadQueueFiles();
    // Deletes the queue file of item index, if it has one.
    void DeleteQueueFile(int index);
    // Kept as a tag-queue item: once its record is written the outbox, not
    // the queue folder, holds the item until it is sent.
    OutboxRecord OutboxRecordOf(const CUploadItem& item) override;

private:
    bool ReadQueueFile(const std::wstring& name, QueueRecord& record);

    Event queueEvent_;
    std::wstring queueFolder_;
    std::vector<std::wstring> queueFiles_;
    std::wstring eventName_;
    CancelQuestion cancelQuestion_;
};
