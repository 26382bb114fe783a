// The tag dialogs under Wine: the remembered tags as the completion sees them,
// the one-picture dialog at the screen's edge, and the tags dialog driven row
// by row to the per-picture tags and permissions it hands back.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ComModule.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "dialogs/DialogControls.h"
#include "dialogs/TagDlg.h"
#include "dialogs/TagListCtrl.h"
#include "dialogs/TagThumbnails.h"
#include "dialogs/TagsAutoComplete.h"
#include "dialogs/TagsDlg.h"
#include "engine/GdiplusSession.h"
#include "resources/resource.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "DialogTestSupport.h"

namespace {

using Microsoft::WRL::ComPtr;

// The value names of the tags key, in the registry's order.
std::vector<std::wstring> StoredTags()
{
    std::vector<std::wstring> names;
    RegKey key;
    if (!key.Open(HKEY_CURRENT_USER, TagsKeyPath().c_str())) return names;
    wchar_t name[8192];
    for (DWORD i = 0;; ++i) {
        DWORD length = 8192;
        if (RegEnumValueW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

void StoreTag(const std::wstring& text)
{
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, TagsKeyPath().c_str()));
    RegSetValueExW(key.Get(), text.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
}

std::vector<std::wstring> Fetch(IEnumString* strings, ULONG count, HRESULT* result)
{
    std::vector<LPOLESTR> fetched(count + 1, nullptr);
    ULONG got = 99;
    *result = strings->Next(count, fetched.data(), &got);
    std::vector<std::wstring> texts;
    for (ULONG i = 0; i < got; ++i) {
        texts.push_back(fetched[i]);
        CoTaskMemFree(fetched[i]);
    }
    return texts;
}

class TagDialogsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};

TEST_F(TagDialogsTest, RememberedTagsAreOfferedOnceAndTheEnumeratorStopsAtTheEnd)
{
    StoreTag(std::wstring(5000, L'x'));  // too long to offer; the others still are
    StoreTag(L"beach");
    ComPtr<CTagsAutoComplete> tags = MakeTagsAutoComplete();
    ASSERT_TRUE(tags);
    tags->Remember(L" a ");
    tags->Remember(L"a");
    tags->Remember(L"   ");
    EXPECT_EQ((std::vector<std::wstring>{L"beach", L"a"}), tags->Entries());
    EXPECT_EQ(3u, StoredTags().size()) << "\" a \" is stored once, trimmed, and blanks not at all";

    HRESULT hr = S_OK;
    EXPECT_TRUE(Fetch(tags.Get(), 0, &hr).empty());
    EXPECT_EQ(S_FALSE, hr) << "Next(0) fetches nothing";
    EXPECT_EQ((std::vector<std::wstring>{L"beach", L"a"}), Fetch(tags.Get(), 5, &hr));
    EXPECT_EQ(S_FALSE, hr) << "Next(5) with two left gives the two";
    EXPECT_EQ(E_POINTER, tags->Next(1, nullptr, nullptr));

    EXPECT_EQ(S_OK, tags->Reset());
    EXPECT_EQ(S_OK, tags->Skip(0xFFFFFFF0u));
    EXPECT_EQ(S_OK, tags->Skip(0xFFFFFFF0u));
    EXPECT_TRUE(Fetch(tags.Get(), 1, &hr).empty()) << "skipping far past the end reads nothing";
    EXPECT_EQ(S_FALSE, hr);

    HWND edit = CreateWindowW(L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(S_OK, tags->Bind(edit, CTagsAutoComplete::kOptions));
    EXPECT_FALSE(tags->IsDropDownVisible());
    DestroyWindow(edit);

    ComPtr<IEnumString> copy;
    ASSERT_EQ(S_OK, tags->Clone(&copy));
    std::vector<std::wstring> copied = Fetch(copy.Get(), 2, &hr);
    std::sort(copied.begin(), copied.end());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"beach"}), copied) << "a copy reads the key anew";
    EXPECT_EQ(S_OK, hr);
}

TEST_F(TagDialogsTest, TagDialogOpensInsideTheScreenAndRemembersWhatIsConfirmed)
{
    const SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const ULONG objectsBefore = ComModule::Instance().ObjectCount();
    CTagDlg dialog(POINT{screen.cx - 5, screen.cy - 5});
    RECT placed = {};
    LONG_PTR exStyle = 0;
    INT_PTR result = vptest::RunScripted(dialog, [&](HWND window, HWND) {
        GetWindowRect(window, &placed);
        exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        SetDlgItemTextW(window, IDC_TAG_TEXT, L"  sky, sea ");
        SendMessageW(window, WM_COMMAND, IDOK, 0);
    }, [&] { return dialog.DoModal(nullptr); });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(screen.cx, placed.right) << "moved in from the right edge";
    EXPECT_EQ(screen.cy - 25, placed.bottom) << "moved up, 25 pixels above the bottom";
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_EQ(L"  sky, sea ", dialog.Tags());
    EXPECT_EQ((std::vector<std::wstring>{L"sky, sea"}), StoredTags());
    EXPECT_EQ(objectsBefore, ComModule::Instance().ObjectCount()) << "the dialog's completion outlived it";

    CTagDlg canceled(POINT{10, 10}, L"kept");
    result = vptest::RunScripted(canceled, [&](HWND window, HWND) {
        SetDlgItemTextW(window, IDC_TAG_TEXT, L"dropped");
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }, [&] { return canceled.DoModal(nullptr); });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(1u, StoredTags().size());
}

TEST_F(TagDialogsTest, TagsDialogCombinesRowAndCommonTagsAndTogglesPermissionsByClick)
{
    vptest::FakeTagCompletion completion;
    CTagsDlg dialog({L"C:\\missing\\one.jpg", L"C:\\missing\\two.jpg", L"C:\\missing\\three.jpg"}, L"start", true,
                    nullptr, &completion);
    bool startsPublic = false, togglesUnselected = true;
    std::wstring shownCommon;
    std::unique_ptr<vptest::ImageListWatch> states;
    INT_PTR result = vptest::RunScripted(dialog, [&](HWND window, HWND) {
        HWND list = GetDlgItem(window, IDC_TAGS_LIST);
        states = std::make_unique<vptest::ImageListWatch>(list, LVSIL_STATE);
        startsPublic = ListView_GetCheckState(list, 0) && ListView_GetCheckState(list, 2);
        shownCommon = ControlText(window, IDC_COMMON_TAGS);
        vptest::EditTagRow(window, 0, L"own");
        vptest::EditTagRow(window, 2, L"third");
        // A click on the permission of a row that is not selected only selects it.
        const CTagListCtrl* rows = CTagListCtrl::Of(list);
        ASSERT_TRUE(rows);
        vptest::ClickAt(list, rows->PermissionPoint(1));
        togglesUnselected = !ListView_GetCheckState(list, 1);
        vptest::ClickAt(list, rows->PermissionPoint(1));
        SetDlgItemTextW(window, IDC_COMMON_TAGS, L"trip");
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TAGS_OK, BN_CLICKED), 0);
    }, [&] { return dialog.DoModal(nullptr); });
    EXPECT_EQ(IDOK, result);
    ASSERT_TRUE(states->Images());
    EXPECT_FALSE(states->AliveNow()) << "the check-box states of the list are freed with it";
    EXPECT_TRUE(startsPublic);
    EXPECT_EQ(L"start", shownCommon);
    EXPECT_FALSE(togglesUnselected);
    EXPECT_EQ((std::vector<std::wstring>{L"own trip", L"trip", L"third trip"}), dialog.Tags());
    EXPECT_EQ((std::vector<bool>{true, false, true}), dialog.Permissions());
    EXPECT_EQ((std::vector<std::wstring>{L"trip"}), completion.remembered);
    EXPECT_EQ(L"own", CombinedTags(L"own", L""));
    EXPECT_EQ(L"", CombinedTags(L"", L""));
}

TEST_F(TagDialogsTest, ThumbnailsStayInStepWithThePicturesWhenSomeCannotBeRead)
{
    vptest::TempFolder folder;
    {
        GdiplusSession session;
        vptest::MakePicture(folder.File(L"wide.png"), 160, 40, Gdiplus::ImageFormatPNG);
    }
    HIMAGELIST list = MakeTagThumbnails({folder.File(L"missing.png"), L"http://example.com/a.jpg",
                                         L"file:///" + folder.File(L"wide.png")});
    ASSERT_TRUE(list);
    EXPECT_EQ(3, ImageList_GetImageCount(list));
    // Only the last image shows the picture, in the middle of its square.
    auto centre = [&](int image) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP canvas = CreateCompatibleBitmap(screen, 80, 80);
        ReleaseDC(nullptr, screen);
        HGDIOBJ old = SelectObject(dc, canvas);
        ImageList_Draw(list, image, dc, 0, 0, ILD_NORMAL);
        const COLORREF colour = GetPixel(dc, 40, 40);
        SelectObject(dc, old);
        DeleteObject(canvas);
        DeleteDC(dc);
        return colour;
    };
    EXPECT_EQ(RGB(255, 255, 255), centre(0));
    EXPECT_EQ(RGB(255, 255, 255), centre(1));
    EXPECT_NE(RGB(255, 255, 255), centre(2));
    ImageList_Destroy(list);

    // From pictures in memory: a missing one keeps its place too.
    HDC screen = GetDC(nullptr);
    HBITMAP red = CreateCompatibleBitmap(screen, 30, 90);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, red);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    RECT all = {0, 0, 30, 90};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    list = MakeTagThumbnails(std::vector<HBITMAP>{nullptr, red});
    DeleteObject(red);
    ASSERT_TRUE(list);
    EXPECT_EQ(2, ImageList_GetImageCount(list));
    EXPECT_EQ(RGB(255, 255, 255), centre(0));
    EXPECT_EQ(RGB(255, 0, 0), centre(1));
    ImageList_Destroy(list);
}

}  // namespace
