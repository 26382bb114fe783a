// The toolbar's view of the waiting uploads: the count on its button, the
// menu that lists them (name, reason of the last failure, attempts) with
// "Send waiting uploads now" and "Discard" per item and for all, and what
// each of its commands does to the outbox.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/Outbox.h"

enum OutboxMenuCommand : UINT {
    ID_OUTBOX_SEND_NOW = 38600,
    ID_OUTBOX_DISCARD_ALL = 38601,
    ID_OUTBOX_DISCARD_FIRST = 38610,
};

class OutboxMenu {
public:
    // At most this many waiting uploads are listed; the rest still count.
    static const size_t kMaxListed = 30;

    // The button's text for count waiting uploads.
    static std::wstring CountText(size_t count);
    // The notice after count waiting uploads were sent.
    static std::wstring SentNotice(int count);
    // One list line: the file's name or the address, why it waits, and its attempts.
    static std::wstring EntryText(const Outbox::Entry& entry);

    // Reads the outbox and builds the popup menu; null on failure.
    HMENU Build(Outbox& outbox);
    // Runs a command of the menu last built; false for a command not its own.
    bool Run(UINT command, Outbox& outbox);

private:
    std::vector<std::wstring> ids_;
};
