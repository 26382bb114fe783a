// The waiting-uploads button and menu (see the header).
#include "browser/OutboxMenu.h"

#include "common/MarkupText.h"
#include "common/TextConvert.h"
#include "engine/FileUploadStrategy.h"
#include "engine/OutboxSender.h"
#include "resources/resource.h"

namespace {

std::wstring Text(UINT id, const wchar_t*) { return LoadModuleString(id); }

std::wstring Filled(UINT id, const wchar_t*, const std::wstring& argument) { return FormatModuleString(id, argument); }

// Text for the list, made safe for a menu (no "&" accelerators, no tabs or
// line breaks) and kept short; of a file's path only its last component.
std::wstring DisplayName(const std::wstring& text, bool fileName)
{
    std::wstring name = text;
    size_t slash = fileName ? name.find_last_of(L"\\/") : std::wstring::npos;
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    std::wstring shown;
    for (wchar_t c : name) {
        if (c == L'&') shown += L"&&";
        else if (c < L' ') shown += L' ';
        else shown += c;
    }
    if (shown.size() > 60) shown = shown.substr(0, 57) + L"...";
    return shown;
}

}  // namespace

std::wstring OutboxMenu::CountText(size_t count)
{
    return Filled(IDS_OUTBOX_COUNT, L"%s waiting", std::to_wstring(count));
}

std::wstring OutboxMenu::SentNotice(int count)
{
    return Filled(IDS_OUTBOX_SENT, L"%s waiting uploads were sent", std::to_wstring(count));
}

std::wstring OutboxMenu::EntryText(const Outbox::Entry& entry)
{
    const OutboxRecord& record = entry.record;
    std::wstring reason;
    switch (CheckRecordedFile(record)) {
    case OutboxFileState::Missing: reason = Text(IDS_OUTBOX_FILE_GONE, L"the file is gone"); break;
    case OutboxFileState::Changed: reason = Text(IDS_OUTBOX_FILE_CHANGED, L"the file was changed"); break;
    case OutboxFileState::Unchanged:
        reason = record.lastFailure.empty() ? Text(IDS_OUTBOX_NOT_TRIED, L"interrupted") : record.lastFailure;
        break;
    }
    // A waiting address shows whole: its last component may say nothing.
    const std::wstring& name = record.name.empty() ? record.path : record.name;
    std::wstring text = DisplayName(name, !IsWebAddress(name)) + L" - " + DisplayName(reason, false);
    text += L", " + Filled(IDS_OUTBOX_ATTEMPTS, L"attempts: %s", std::to_wstring(record.attempts));
    return text;
}

HMENU OutboxMenu::Build(Outbox& outbox)
{
    ids_.clear();
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    AppendMenuW(menu, MF_STRING, ID_OUTBOX_SEND_NOW, Text(IDS_OUTBOX_SEND_NOW, L"Send waiting uploads now").c_str());
    SetMenuDefaultItem(menu, ID_OUTBOX_SEND_NOW, FALSE);
    std::vector<Outbox::Entry> entries = outbox.List();
    if (!entries.empty()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    const std::wstring discard = Text(IDS_OUTBOX_DISCARD, L"Discard");
    for (const auto& entry : entries) {
        if (ids_.size() >= kMaxListed) break;
        HMENU item = CreatePopupMenu();
        if (!item) break;
        AppendMenuW(item, MF_STRING, ID_OUTBOX_DISCARD_FIRST + ids_.size(), discard.c_str());
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(item), EntryText(entry).c_str());
        ids_.push_back(entry.id);
    }
    if (!entries.empty()) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, ID_OUTBOX_DISCARD_ALL, Text(IDS_OUTBOX_DISCARD_ALL, L"Discard all").c_str());
    }
    return menu;
}

bool OutboxMenu::Run(UINT command, Outbox& outbox)
{
    // An item being sent right now belongs to its sender: discarding it waits
    // for the next opening of the menu.
    auto discard = [&outbox](const std::wstring& id) {
        OutboxRecordLock lock(id);
        if (!lock.TryAcquire()) return;
        OutboxRecord record;
        const bool member = outbox.Read(id, record) && record.kind == OutboxKind::SlideshowMember;
        outbox.Remove(id);
        // The last member of a slideshow takes the links its group kept.
        if (member && !outbox.GroupWaits(record.slideshow.group)) outbox.RemoveGroup(record.slideshow.group);
    };
    if (command == ID_OUTBOX_SEND_NOW) {
        StartOutboxSender(true);
        return true;
    }
    if (command == ID_OUTBOX_DISCARD_ALL) {
        for (const auto& entry : outbox.List()) discard(entry.id);
        return true;
    }
    if (command >= ID_OUTBOX_DISCARD_FIRST && command < ID_OUTBOX_DISCARD_FIRST + ids_.size()) {
        discard(ids_[command - ID_OUTBOX_DISCARD_FIRST]);
        return true;
    }
    return false;
}
