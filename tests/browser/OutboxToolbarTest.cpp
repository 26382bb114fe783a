// The waiting uploads on the toolbar: the count button appears with the
// first waiting upload and hides at none, its menu lists each upload with
// why it waits, Discard removes one or all, and the notice of uploads sent
// in the background shows for a while.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "browser/OutboxMenu.h"
#include "common/SettingsStore.h"
#include "engine/Outbox.h"
#include "support/TempFolder.h"

namespace vptest {
namespace {

std::wstring ButtonText(HWND toolbar, UINT command)
{
    wchar_t text[256] = {};
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring MenuText(HMENU menu, int position)
{
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return text;
}

class OutboxToolbarTest : public BandTest {
protected:
    void SetUp() override
    {
        BandTest::SetUp();
        SettingsStore().WriteNumber(L"Outbox", 1);
        Outbox::SetLocation(box_.Path());
    }
    void TearDown() override
    {
        Outbox::SetLocation(std::wstring());
        BandTest::TearDown();
    }

    std::wstring AddWaiting(const std::wstring& path, const std::wstring& failure,
                            OutboxKind kind = OutboxKind::File)
    {
        OutboxRecord record;
        record.kind = kind;
        record.slideshow.group = L"0abc";
        record.path = path;
        record.name = path;
        record.lastFailure = failure;
        record.attempts = 2;
        ReadFileStamp(path, record.fileSize, record.fileTime);
        OutboxAdmission admission;
        return Outbox().Add(record, 0, admission);
    }

    TempFolder box_;
    TempFolder user_{TempFolder::OutsideTemporaryFolder};
};

TEST_F(OutboxToolbarTest, TheCountMenuAndNoticeFollowTheWaitingUploads)
{
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_OUTBOX)) << "nothing waits";

    AddWaiting(user_.Write(L"sea & sun.jpg", "jpg"), L"No connection to the service");
    const std::wstring gone = AddWaiting(user_.File(L"gone.jpg"), L"No connection to the service");
    AddWaiting(L"https://example.com/sea/", L"Service unavailable (503/1)", OutboxKind::SlideshowMember);
    SendMessageW(window, WM_TIMER, CVPToolbar::TIMER_OUTBOX_REFRESH, 0);
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_OUTBOX));
    EXPECT_EQ(L"3 waiting", ButtonText(window, ID_BUTTON_OUTBOX));

    WithMenu(toolbar, ID_BUTTON_OUTBOX, [](HMENU menu) {
        ASSERT_EQ(7, GetMenuItemCount(menu));
        EXPECT_EQ(L"Send waiting uploads now", MenuText(menu, 0));
        EXPECT_EQ(L"sea && sun.jpg - No connection to the service, attempts: 2", MenuText(menu, 2));
        EXPECT_EQ(L"gone.jpg - the file is gone, attempts: 2", MenuText(menu, 3));
        EXPECT_EQ(L"https://example.com/sea/ - Service unavailable (503/1), attempts: 2", MenuText(menu, 4))
            << "an address shows whole, a reason is never cut";
        HMENU item = GetSubMenu(menu, 2);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(L"Discard", MenuText(item, 0));
    });

    // Discard one, then all.
    Outbox outbox;
    OutboxMenu menu;
    HMENU built = menu.Build(outbox);
    OutboxRecord links;
    links.path = links.slideshow.group = L"0abc";
    ASSERT_TRUE(outbox.WriteGroup(L"0abc", links));
    EXPECT_TRUE(menu.Run(ID_OUTBOX_DISCARD_FIRST + 2, outbox));
    EXPECT_EQ(2u, outbox.List().size());
    EXPECT_FALSE(outbox.ReadGroup(L"0abc", links)) << "the last member of a slideshow takes its links along";
    EXPECT_TRUE(menu.Run(ID_OUTBOX_DISCARD_FIRST, outbox));
    DestroyMenu(built);
    EXPECT_EQ(1u, outbox.List().size());
    EXPECT_EQ(gone, outbox.List()[0].id);
    EXPECT_FALSE(menu.Run(ID_OUTBOX_DISCARD_FIRST + 5, outbox)) << "not an item of the menu built";
    EXPECT_TRUE(menu.Run(ID_OUTBOX_DISCARD_ALL, outbox));
    EXPECT_TRUE(outbox.List().empty());

    // Uploads sent in the background: the notice, then the count hides again.
    SendMessageW(window, WM_TOOLBAR_OUTBOX_SENT_NOTICE, 2, 0);
    EXPECT_EQ(L"2 waiting uploads were sent", ButtonText(window, ID_BUTTON_OUTBOX));
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_OUTBOX));
    SendMessageW(window, WM_TIMER, CVPToolbar::TIMER_OUTBOX_REFRESH, 0);
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_OUTBOX)) << "the notice stays its time";
    SendMessageW(window, WM_TIMER, CVPToolbar::TIMER_OUTBOX_NOTICE, 0);
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_OUTBOX));
}

}  // namespace
}  // namespace vptest
