// The toolbar window driven through window messages to the real window: the
// buttons the settings show, the options menu, the search box and the paste
// history with its menu and the clipboard.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "common/SettingsStore.h"
#include "engine/InternetExplorerImageTarget.h"
#include "support/ClipboardText.h"
#include "support/DialogResponder.h"

namespace vptest {
namespace {

void Command(HWND toolbar, UINT command)
{
    SendMessageW(toolbar, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

bool Checked(HMENU menu, UINT command)
{
    return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

DWORD Number(const wchar_t* name, DWORD fallback = 0xFFFF)
{
    DWORD value = 0;
    return SettingsStore().ReadNumber(name, value) ? value : fallback;
}

CUploadResult Result(const std::wstring& name)
{
    CUploadResult result;
    result.name = name;
    result.SetImageLink((L"http://i.vellumpost.com/a/b/" + name).c_str());
    result.adLink = L"http://vellumpost.com/i/" + name;
    return result;
}

TEST_F(BandTest, TheAboutCommandShowsTheAboutBoxOverTheBrowserWindow)
{
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    HWND owner = nullptr;
    DialogResponder user(L"About", IDOK, [&](HWND dialog) { owner = GetWindow(dialog, GW_OWNER); });
    Command(window, 37775);
    EXPECT_EQ(1, user.Answered());
    EXPECT_EQ(GetAncestor(window, GA_ROOT), owner);
}

TEST_F(BandTest, ButtonsFollowTheirSettingsAndTheirToggles)
{
    SettingsStore().SetTextAreaIndicator(false);
    SettingsStore().SetButtonSlideshow(false);
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    band->IncrementDragAndDrop();
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_DROP_AVAILABLE));
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_DROP_UNAVAILABLE));
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_SLIDESHOW));
    const int narrow = toolbar.IdealWidth();

    Command(window, 37815);
    Command(window, 37819);
    EXPECT_EQ(1u, Number(L"TextAreaIndicator"));
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_DROP_AVAILABLE));
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_SLIDESHOW));
    EXPECT_GT(toolbar.IdealWidth(), narrow);
    Command(window, 37826);
    EXPECT_EQ(0u, Number(L"SearchPanel"));
    EXPECT_FALSE(IsWindowVisible(toolbar.SearchBox().Window()));
}

TEST_F(BandTest, OptionsMenuShowsTheChoicesAndWritesThem)
{
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    Command(window, 37780);  // Image Links
    Command(window, 37794);  // Private
    EXPECT_EQ(37780u, Number(L"LinkStyleID"));
    EXPECT_EQ(0u, Number(L"Public"));
    WithMenu(toolbar, ID_BUTTON_PRODUCT, [](HMENU menu) {
        EXPECT_TRUE(GetMenuState(menu, 37800, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_TRUE(GetMenuState(menu, 37801, MF_BYCOMMAND) & MF_GRAYED);
        EXPECT_TRUE(Checked(menu, 37780));
        EXPECT_FALSE(Checked(menu, 37777));
        EXPECT_TRUE(Checked(menu, 37794));
        EXPECT_TRUE(Checked(menu, 37782));
        EXPECT_TRUE(Checked(menu, 37843));  // retries default to always
        EXPECT_TRUE(Checked(menu, 37826));
    });

    // Picking a size switches resizing on; "Do not resize" keeps the size.
    Command(window, 37788);
    EXPECT_EQ(1u, Number(L"Resize"));
    EXPECT_EQ(37788u, Number(L"ResizeTo"));
    Command(window, 37782);
    EXPECT_EQ(0u, Number(L"Resize"));
    EXPECT_EQ(37788u, Number(L"ResizeTo"));
    Command(window, 37786);
    RegDeleteValueW(SettingsStore().MainKey(), L"Resize");
    Command(window, 37785);  // resizing is on already: only the size is written
    EXPECT_EQ(0xFFFFu, Number(L"Resize"));
    EXPECT_EQ(37785u, Number(L"ResizeTo"));
    WithMenu(toolbar, ID_BUTTON_PRODUCT, [](HMENU menu) {
        EXPECT_TRUE(Checked(menu, 37785));
        EXPECT_FALSE(Checked(menu, 37782));
    });
}

TEST_F(BandTest, SearchBoxSearchesOnceWithTheTextEncodedAndGivesTheFocusBack)
{
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    HWND box = band->Toolbar().SearchBox().Window();
    SendMessageW(window, WM_TOOLBAR_SEARCH, 0, 0);
    EXPECT_EQ(box, GetFocus());
    EXPECT_TRUE(browser_->navigations.empty());
    EXPECT_EQ(std::vector<BOOL>{TRUE}, sites_[0]->focusChanges);

    SetWindowTextW(box, L"cats & dogs/\u00e9");
    for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
        MSG msg{box, message, VK_RETURN, 0};
        EXPECT_EQ(S_OK, band->TranslateAcceleratorIO(&msg));
    }
    PumpMessages();
    ASSERT_EQ(1u, browser_->navigations.size());
    EXPECT_EQ(L"http://profile.vellumpost.com/search.php?q=cats%20%26%20dogs%2F%C3%A9", browser_->navigations[0].url);

    MSG tab{box, WM_KEYDOWN, VK_TAB, 0};
    EXPECT_EQ(S_FALSE, band->TranslateAcceleratorIO(&tab));
    EXPECT_EQ(FALSE, sites_[0]->focusChanges.back());
}

TEST_F(BandTest, PasteHistoryKeepsItsLimitAndPastesItsLinks)
{
    DWORD limit = 2;
    RegSetValueExW(SettingsStore().HistoryKey(), L"MaxHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limit),
                   sizeof(limit));
    SettingsStore().SetLinkStyleId(37780);  // plain links: the service page of the picture
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_BUTTON_PASTE));
    // Sited again, the new window follows the history as the first did.
    auto site = BandSite::Make(frame_, browser_);
    ASSERT_EQ(S_OK, band->SetSite(static_cast<IOleWindow*>(site.Get())));
    window = ShowToolbar(band.Get());
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_BUTTON_PASTE));
    CToolbarImageTarget target(band.Get());
    for (const wchar_t* name : {L"a.jpg", L"b.jpg", L"c.jpg"}) target.OnItemUploaded(Result(name));
    ASSERT_EQ(2u, toolbar.History().size());
    EXPECT_EQ(L"b.jpg", *toolbar.History()[0].name);
    EXPECT_TRUE(toolbar.IsButtonEnabled(ID_BUTTON_PASTE));

    WithMenu(toolbar, ID_BUTTON_PASTE, [](HMENU menu) {
        ASSERT_EQ(2, GetMenuItemCount(menu));
        EXPECT_EQ(ID_PASTE_HISTORY_FIRST + 1, GetMenuItemID(menu, 0));  // newest first
        EXPECT_EQ(ID_PASTE_HISTORY_FIRST + 1, GetMenuDefaultItem(menu, FALSE, 0));
    });

    Command(window, ID_PASTE_HISTORY_FIRST);
    EXPECT_EQ(L"http://vellumpost.com/i/b.jpg", ClipboardText());
    Command(window, ID_PASTE_HISTORY_FIRST + 7);  // outside the history: nothing
    EXPECT_EQ(L"http://vellumpost.com/i/b.jpg", ClipboardText());
    band->SetPasteData(Bstr(L"pending links").Get(), Bstr(L"2 files").Get());
    Command(window, ID_BUTTON_PASTE);
    EXPECT_EQ(L"pending links", ClipboardText());

    // A limit below one counts as one.
    limit = 0;
    RegSetValueExW(SettingsStore().HistoryKey(), L"MaxHistory", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limit),
                   sizeof(limit));
    target.OnItemUploaded(Result(L"d.jpg"));
    ASSERT_EQ(1u, toolbar.History().size());
    EXPECT_EQ(L"d.jpg", *toolbar.History()[0].name);
}

}  // namespace
}  // namespace vptest

namespace vptest {
namespace {

TEST_F(BandTest, ServicePagesOpenInTheBrowserWithTheUserIdEncodedAndGalleriesRefresh)
{
    SettingsStore().SetUid(L"ann & bob");
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    Command(window, ID_BUTTON_LOGIN);
    ASSERT_EQ(1u, browser_->navigations.size());
    EXPECT_EQ(L"http://profile.vellumpost.com/registration/setlogin.php?login=ann%20%26%20bob",
              browser_->navigations[0].url);

    // Only a gallery page of the service is refreshed, and only the kind asked for.
    browser_->locationUrl = L"http://my.vellumpost.com/v_images.php";
    SendMessageW(window, WM_TOOLBAR_REFRESH_MY_PAGES, 2, 0);
    EXPECT_EQ(0u, browser_->CallCount(L"Refresh2"));
    SendMessageW(window, WM_TOOLBAR_REFRESH_MY_PAGES, 1, 0);
    EXPECT_EQ(1u, browser_->CallCount(L"Refresh2"));
    browser_->locationUrl = L"http://elsewhere.example/v_images.php";
    SendMessageW(window, WM_TOOLBAR_REFRESH_MY_PAGES, 3, 0);
    EXPECT_EQ(1u, browser_->CallCount(L"Refresh2"));

    // Without a browser the commands do nothing.
    band->SetSite(nullptr);
    Command(window, ID_BUTTON_MY_IMAGES);
    EXPECT_EQ(1u, browser_->navigations.size());
    EXPECT_EQ(E_FAIL, band->Toolbar().Upload(nullptr));
}

}  // namespace
}  // namespace vptest
