// The Explorer road of the right-click menu: the entries a selection gets,
// the command strings, and what each command (from this process or forwarded
// from another) hands the uploader.
#include <gtest/gtest.h>

#include "browser/ContextMenuSupport.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

// The string-copy result of a text that did not fit (kTextCut).
const HRESULT kTextCut = static_cast<HRESULT>(0x8007007AL);

ComPtr<IContextMenu> MenuFor(const std::vector<std::wstring>& paths)
{
    ComPtr<IShellExtInit> init = CImageContextMenu::Make<IShellExtInit>();
    EXPECT_TRUE(init);
    EXPECT_EQ(S_OK, init->Initialize(nullptr, DropData(paths).Get(), nullptr));
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(S_OK, init.As(&menu));
    return menu;
}

std::vector<std::wstring> Entries(HMENU menu)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

HRESULT Invoke(IContextMenu* menu, const char* verb)
{
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = verb;
    return menu->InvokeCommand(&info);
}

HRESULT Invoke(IContextMenu* menu, UINT offset) { return Invoke(menu, MAKEINTRESOURCEA(offset)); }

TEST_F(ContextMenuTest, SelectionSizeDecidesTheEntriesAndCommandStringsAreCutAndTerminated)
{
    HMENU popup = CreatePopupMenu();
    auto one = MenuFor({L"C:\\Pictures\\a.jpg"});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), one->QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL));
    EXPECT_EQ((std::vector<std::wstring>{LoadModuleString(IDS_MENU_UPLOAD_FILE), LoadModuleString(IDS_MENU_TAG_FILE),
                                         LoadModuleString(IDS_MENU_POST_TO_BLOG)}),
              Entries(popup));
    EXPECT_EQ(102u, GetMenuItemID(popup, 2));
    DestroyMenu(popup);

    popup = CreatePopupMenu();
    auto several = MenuFor({L"C:\\Pictures\\a.jpg", L"C:\\Pictures\\b.png"});
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0), several->QueryContextMenu(popup, 0, 1, 50, CMF_DEFAULTONLY));
    EXPECT_EQ(0, GetMenuItemCount(popup));
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2), several->QueryContextMenu(popup, 0, 1, 50, CMF_NORMAL));
    EXPECT_EQ((std::vector<std::wstring>{LoadModuleString(IDS_MENU_UPLOAD_FILES),
                                         LoadModuleString(IDS_MENU_TAG_FILES)}),
              Entries(popup));
    DestroyMenu(popup);

    // The blog entry exists for one file only; unknown offsets are refused.
    char narrow[64];
    EXPECT_EQ(E_INVALIDARG, several->GetCommandString(2, GCS_VERBA, nullptr, narrow, 64));
    EXPECT_EQ(E_INVALIDARG, one->GetCommandString(3, GCS_VERBA, nullptr, narrow, 64));
    EXPECT_EQ(E_INVALIDARG, one->GetCommandString(0, GCS_HELPTEXTA, nullptr, narrow, 0));

    const std::wstring blog = LoadModuleString(IDS_MENU_POST_TO_BLOG);
    ASSERT_GT(blog.size(), 4u);
    memset(narrow, 'x', sizeof narrow);
    EXPECT_EQ(kTextCut, one->GetCommandString(2, GCS_HELPTEXTA, nullptr, narrow, 4));
    EXPECT_EQ(Narrow(blog.substr(0, 3)), std::string(narrow));
    wchar_t wide[128];
    EXPECT_EQ(S_OK, one->GetCommandString(2, GCS_VERBW, nullptr, reinterpret_cast<char*>(wide), 128));
    EXPECT_EQ(blog, std::wstring(wide));
    EXPECT_EQ(kTextCut,
              one->GetCommandString(1, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 2));
    EXPECT_EQ(1u, std::wstring(wide).size());
    EXPECT_TRUE(RecordingUploader::Made().empty());
}

TEST_F(ContextMenuTest, ExplorerCommandsHandTheUploaderPathsOrFileAddresses)
{
    SettingsStore settings;
    settings.SetLogged(true);
    settings.SetResize(true);
    settings.SetResizeTo(1);  // not a size choice: the default size
    settings.SetPublic(false);
    auto menu = MenuFor({L"C:\\Pictures\\a.jpg"});

    ASSERT_EQ(S_OK, Invoke(menu.Get(), 0u));
    RecordingUploader* upload = Last();
    ASSERT_TRUE(upload);
    EXPECT_EQ(L"UploadFiles", upload->entry);
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\Pictures\\a.jpg"}, upload->items);
    EXPECT_EQ(asFromExplorer + asUpload, upload->action);
    EXPECT_TRUE(upload->destination);
    EXPECT_FALSE(upload->isPublic);
    EXPECT_FALSE(upload->optsize.empty());
    EXPECT_EQ(VT_EMPTY, upload->tagsType);

    // The tag command asks for tags and queues file addresses.
    ASSERT_EQ(S_OK, Invoke(menu.Get(), 1u));
    EXPECT_EQ(L"UploadQueue", Last()->entry);
    EXPECT_EQ(std::vector<std::wstring>{L"file:///C:/Pictures/a.jpg"}, Last()->items);
    EXPECT_EQ(L"sea sand", Last()->tags);
    EXPECT_EQ(asFromExplorer + asTagImage, Last()->action);
    ASSERT_EQ(1u, taggedItems.size());

    // A string verb is one of the entries' own texts or nothing.
    ASSERT_EQ(S_OK, Invoke(menu.Get(), Narrow(LoadModuleString(IDS_MENU_POST_TO_BLOG)).c_str()));
    EXPECT_EQ(L"PostToBlog", Last()->entry);
    EXPECT_EQ(asFromExplorer + asPostToBlog, Last()->action);
    const size_t made = RecordingUploader::Made().size();
    EXPECT_EQ(E_FAIL, Invoke(menu.Get(), "properties"));
    EXPECT_EQ(E_FAIL, Invoke(menu.Get(), 7u));
    EXPECT_EQ(made, RecordingUploader::Made().size());

    // Cancelled or blank tags upload nothing.
    tagsAnswer = L"  ";
    EXPECT_EQ(S_OK, Invoke(menu.Get(), 1u));
    tagResult = S_FALSE;
    tagsAnswer = L"sea";
    EXPECT_EQ(S_OK, Invoke(menu.Get(), 1u));
    EXPECT_EQ(made, RecordingUploader::Made().size());
}

TEST_F(ContextMenuTest, FileAddressesEscapePercentAndSkipUnsupportedFilesAndLongNamesSurvive)
{
    SettingsStore().SetLogged(true);
    const std::wstring longName = L"C:\\Pictures\\" + std::wstring(300, L'n') + L".png";
    auto menu = MenuFor({L"C:\\Pictures\\100%.jpg", L"C:\\Pictures\\notes.txt", longName});
    ASSERT_EQ(S_OK, Invoke(menu.Get(), 1u));
    ASSERT_TRUE(Last());
    EXPECT_EQ((std::vector<std::wstring>{L"file:///C:/Pictures/100%25.jpg",
                                         L"file:///C:/Pictures/" + std::wstring(300, L'n') + L".png"}),
              Last()->items);
    // Uploads keep every path: the upload asks the user about the others.
    ASSERT_EQ(S_OK, Invoke(menu.Get(), 0u));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Pictures\\100%.jpg", L"C:\\Pictures\\notes.txt", longName}),
              Last()->items);

    ComPtr<IShellExtInit> empty = CImageContextMenu::Make<IShellExtInit>();
    EXPECT_EQ(E_FAIL, empty->Initialize(nullptr, DropData({}).Get(), nullptr));
    ComPtr<IContextMenu> uninitialised = CImageContextMenu::Make<IContextMenu>();
    EXPECT_EQ(E_FAIL, Invoke(uninitialised.Get(), 0u));
}

TEST_F(ContextMenuTest, ForwardedCommandsUseTheSettingsAndTheCallerAndLoginComesFirst)
{
    ComPtr<IInnerImageContextMenu> inner = CImageContextMenu::Make<IInnerImageContextMenu>();
    ComPtr<IDispatch> caller = RecordingUploader::Make<IDispatch>();
    Variant one(L"file:///C:/Pictures/a.jpg");

    // Logged out: the login hint at the given point, nothing else.
    EXPECT_EQ(S_OK, inner->Execute(CImageContextMenu::kTag, *one.Get(), 40, 50, caller.Get()));
    ASSERT_EQ(1u, logins.size());
    EXPECT_EQ(40, logins[0].x);
    EXPECT_EQ(50, logins[0].y);
    EXPECT_TRUE(taggedItems.empty());
    EXPECT_TRUE(RecordingUploader::Made().empty());
    EXPECT_EQ(0, resultWindows);

    SettingsStore().SetLogged(true);
    ASSERT_EQ(S_OK, inner->Execute(CImageContextMenu::kTag, *one.Get(), 40, 50, caller.Get()));
    ASSERT_TRUE(Last());
    EXPECT_EQ(std::vector<std::wstring>{L"file:///C:/Pictures/a.jpg"}, Last()->items);
    EXPECT_EQ(caller.Get(), Last()->caller.Get());
    EXPECT_EQ(0u, Last()->callerWindow);
    EXPECT_TRUE(Last()->optsize.empty());  // resizing is off in the settings
    EXPECT_TRUE(Last()->isPublic);

    Variant path(L"C:\\Pictures\\a.jpg");
    ASSERT_EQ(S_OK, inner->Execute(CImageContextMenu::kUpload, *path.Get(), 0, 0, caller.Get()));
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\Pictures\\a.jpg"}, Last()->items);
    EXPECT_EQ(asFromExplorer + asUpload, Last()->action);

    const size_t made = RecordingUploader::Made().size();
    EXPECT_EQ(E_FAIL, inner->Execute(9, *path.Get(), 0, 0, caller.Get()));
    Variant number(42L);
    EXPECT_EQ(E_FAIL, inner->Execute(-1, *number.Get(), 0, 0, caller.Get()));
    EXPECT_EQ(E_INVALIDARG, inner->Execute(CImageContextMenu::kUpload, *number.Get(), 0, 0, caller.Get()));
    Variant cut;
    V_VT(cut.Get()) = VT_BSTR;
    V_BSTR(cut.Get()) = SysAllocStringLen(L"C:\\a.jpg\0.exe", 14);
    EXPECT_EQ(E_INVALIDARG, inner->Execute(CImageContextMenu::kUpload, *cut.Get(), 0, 0, caller.Get()));
    EXPECT_EQ(made, RecordingUploader::Made().size());
}

}  // namespace
}  // namespace vptest
