// Sends the outbox's waiting uploads by itself: one pass sends every record
// that is due, that no other thread or process holds, and whose file is
// still the one recorded; the process's sender thread repeats passes when the
// next record is due or when an upload succeeds anywhere in the session.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/ImageTarget.h"
#include "engine/Outbox.h"

struct OutboxPassResult {
    int sent = 0;        // records whose answer is now in the history
    int waiting = 0;     // records left for a later pass
    int unsendable = 0;  // records whose file is gone or changed
    ULONGLONG nextDueMs = 0;  // from now to the earliest due record; 0: none waits
    std::vector<CUploadResult> results;
};

// One pass on the calling thread, which must be a single-threaded apartment
// (it serves the uploads' messages until each ends). makeTarget builds the
// extra target of each sent item (the uploader adds the history itself); the
// pass collects the results around it. evenNotDue sends records whose next
// attempt lies ahead too (the service answers again, or the user asked).
OutboxPassResult SendDueUploads(Outbox& outbox, const std::function<ImageTarget*()>& makeTarget = nullptr,
                                bool evenNotDue = false);

// Starts this process's sender thread unless it runs already (or the outbox
// is off): it makes passes until nothing waits, each when the earliest record
// is due, or with every record at once when an upload anywhere in the session
// is answered (its record leaves the folder), and tells the toolbar windows
// how many it sent. The thread keeps the library loaded while it runs.
// now: send every waiting record at once (also when the thread runs already).
void StartOutboxSender(bool now = false);
// An item of this process was kept for a later attempt. Where the sender was
// started (the library is loaded there) it is started again if it ended
// because nothing waited, so the item is retried in this session too.
void ResumeOutboxSender();
