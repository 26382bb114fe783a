// Registration of the built toolbar library with regsvr32 in the test prefix:
// what registration writes, and that unregistration gives the registry back
// as it was apart from the keys that stay on purpose.
#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <vector>

#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/ComModule.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/VersionStrings.h"
#include "support/Registration.h"

namespace {

using vptest::ClassesKeyExists;
using vptest::KeyExists;
using vptest::KeyText;
using vptest::KeyTree;
using vptest::SetKeyText;

const wchar_t kToolbarList[] = L"Software\\Microsoft\\Internet Explorer\\Toolbar";
const wchar_t kPostPlatform[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\User Agent\\Post Platform";
const wchar_t kMenuEntry[] = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\Upload Image to Vellumpost";
const wchar_t kOtherHandler[] = L"shellex\\ContextMenuHandlers\\OtherProgram";

// The user's own hive, which regsvr32 writes: this process sees a sandbox
// under HKEY_CURRENT_USER.
class UserHive {
public:
    UserHive()
    {
        HANDLE token = nullptr;
        BYTE buffer[256];
        DWORD size = 0;
        wchar_t* sid = nullptr;
        if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
            GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
            key_.Open(HKEY_USERS, sid, KEY_ALL_ACCESS);
        LocalFree(sid);
        if (token) CloseHandle(token);
    }
    HKEY Get() const { return key_; }

private:
    RegKey key_;
};

class ToolbarLibraryRegistration : public testing::Test {
protected:
    void TearDown() override
    {
        // Later tests of this program rely on the registered library.
        EXPECT_EQ(0u, vptest::RunRegsvr32(L"/s", library_));
    }

    // Every key that registration touches.
    std::vector<std::wstring> Picture() const
    {
        std::vector<std::wstring> trees;
        const CLSID* classes[] = {&CLSID_StockBar,         &CLSID_NavigatorSupervisor, &CLSID_FileUploader,
                                  &CLSID_DragAndDropHandler, &CLSID_ImageContextMenu,   &CLSID_IEImageUploader,
                                  &CLSID_ButtonsHandler,   &CLSID_CheckUpdate};
        for (const CLSID* clsid : classes) trees.push_back(KeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(*clsid)));
        for (const wchar_t* progId : {L"Vellumpost.StockBar", L"VellumpostToolbar.ImageUploader",
                                      L"VellumpostToolbar.ImageContextMenu", L"VellumpostToolbar.CheckUpdate"}) {
            trees.push_back(KeyTree(HKEY_CLASSES_ROOT, progId));
            trees.push_back(KeyTree(HKEY_CLASSES_ROOT, std::wstring(progId) + L".1"));
        }
        trees.push_back(KeyTree(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_VellumpostToolbarLib)));
        trees.push_back(KeyTree(HKEY_CLASSES_ROOT, L".jpg"));
        trees.push_back(KeyTree(HKEY_CLASSES_ROOT, L"jpegfile"));
        trees.push_back(KeyTree(HKEY_LOCAL_MACHINE, kToolbarList));
        trees.push_back(KeyTree(HKEY_LOCAL_MACHINE, kPostPlatform));
        trees.push_back(KeyTree(user_.Get(), L"Software\\Microsoft\\Internet Explorer\\MenuExt"));
        return trees;
    }

    const std::wstring library_ = vptest::ToolbarLibraryPath();
    UserHive user_;
};

TEST_F(ToolbarLibraryRegistration, Regsvr32RegistersEverythingAndUnregistrationGivesTheRegistryBack)
{
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(library_.c_str())) << "the toolbar library is built";
    ASSERT_NE(nullptr, user_.Get());
    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library_));
    // The prefix as another program left it: a file class with its own
    // handler, the browser's lists, and an extension without a class.
    SetKeyText(HKEY_CLASSES_ROOT, L".jpg", nullptr, L"jpegfile");
    SetKeyText(HKEY_CLASSES_ROOT, std::wstring(L"jpegfile\\") + kOtherHandler, nullptr, L"Other");
    SetKeyText(HKEY_LOCAL_MACHINE, kToolbarList, L"{00000000-0000-0000-0000-000000000001}", L"Another bar");
    SetKeyText(HKEY_LOCAL_MACHINE, kPostPlatform, L"Vellumpost Toolbar 0.9.1", L"");
    SetKeyText(user_.Get(), L"Software\\Microsoft\\Internet Explorer\\MenuExt\\Another entry", nullptr, L"res://x");
    SHDeleteKeyW(HKEY_CLASSES_ROOT, L".divx");
    SHDeleteKeyW(HKEY_CLASSES_ROOT, L"divxfile");
    const std::vector<std::wstring> before = Picture();

    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", library_));
    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", library_));
    EXPECT_TRUE(ClassesKeyExists(L"TypeLib\\" + GuidText(LIBID_VellumpostToolbarLib) + L"\\1.0"));
    EXPECT_EQ(GuidText(CLSID_StockBar), KeyText(HKEY_CLASSES_ROOT, L"Vellumpost.StockBar\\CLSID"));
    EXPECT_EQ(L"VellumpostToolbar.CheckUpdate.1", KeyText(HKEY_CLASSES_ROOT, L"VellumpostToolbar.CheckUpdate\\CurVer"));
    EXPECT_EQ(L"divxfile", KeyText(HKEY_CLASSES_ROOT, L".divx"));
    const std::wstring handler = L"shellex\\ContextMenuHandlers\\" + GuidText(CLSID_ImageContextMenu);
    EXPECT_EQ(L"Vellumpost", KeyText(HKEY_CLASSES_ROOT, L"divxfile\\" + handler));
    EXPECT_EQ(L"Vellumpost", KeyText(HKEY_CLASSES_ROOT, L"jpegfile\\" + handler));
    EXPECT_EQ(L"Vellumpost Toolbar", KeyText(HKEY_LOCAL_MACHINE, kToolbarList, GuidText(CLSID_StockBar).c_str()));
    EXPECT_EQ(L"", KeyText(HKEY_LOCAL_MACHINE, kPostPlatform, VersionStrings::ProductName().c_str()));
    EXPECT_EQ(L"<none>", KeyText(HKEY_LOCAL_MACHINE, kPostPlatform, L"Vellumpost Toolbar 0.9.1"));
    EXPECT_EQ(L"res://" + library_ + L"/5001", KeyText(user_.Get(), kMenuEntry));
    EXPECT_EQ(L"Vellumpost Toolbar", KeyText(user_.Get(), L"Software\\VellumpostToolbar"));

    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library_));
    // Kept on purpose: the settings key, and the class given to .divx.
    EXPECT_EQ(L"Vellumpost Toolbar", KeyText(user_.Get(), L"Software\\VellumpostToolbar"));
    EXPECT_EQ(L"divxfile\n", KeyTree(HKEY_CLASSES_ROOT, L"divxfile"));
    SetKeyText(HKEY_LOCAL_MACHINE, kPostPlatform, L"Vellumpost Toolbar 0.9.1", L"");  // replaced by design
    const std::vector<std::wstring> after = Picture();
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i], after[i]) << "tree " << i;

    EXPECT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library_)) << "unregistering twice still succeeds";
    SHDeleteKeyW(HKEY_CLASSES_ROOT, std::wstring(L"jpegfile\\" + std::wstring(kOtherHandler)).c_str());
}

// Another user than the one who ran the setup: registration wrote the entries
// into the registering user's hive, while this process's own user has only
// settings of its own until a browser of theirs creates a band.
TEST_F(ToolbarLibraryRegistration, TheFirstBandOfAnotherUserWritesThatUsersMissingEntriesOnly)
{
    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/s", library_));
    const std::wstring settings = SettingsKeyPath();
    const std::wstring menus = L"Software\\Microsoft\\Internet Explorer\\MenuExt\\";
    SetKeyText(HKEY_CURRENT_USER, settings, L"ForceServer", L"example.test");
    SetKeyText(HKEY_CURRENT_USER, settings + L"\\History\\1", L"Link", L"http://example.test/a.jpg");
    SetKeyText(HKEY_CURRENT_USER, kMenuEntry, nullptr, L"res://elsewhere/5001");
    const std::wstring settingsBefore = KeyTree(HKEY_CURRENT_USER, settings);
    ASSERT_EQ(L"<none>", KeyText(HKEY_CURRENT_USER, L"Software\\VellumpostToolbar"));

    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    HMODULE module = LoadLibraryW(library_.c_str());
    ASSERT_NE(nullptr, module);
    auto get = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    ASSERT_NE(nullptr, get);
    for (int band = 0; band < 2; ++band) {
        Microsoft::WRL::ComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, get(CLSID_StockBar, IID_PPV_ARGS(&factory)));
        Microsoft::WRL::ComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    }

    EXPECT_EQ(L"Vellumpost Toolbar", KeyText(HKEY_CURRENT_USER, L"Software\\VellumpostToolbar"));
    EXPECT_EQ(L"res://" + library_ + L"/5000", KeyText(HKEY_CURRENT_USER, menus + L"Upload All Images to Vellumpost"));
    EXPECT_EQ(L"res://" + library_ + L"/5002", KeyText(HKEY_CURRENT_USER, menus + L"Tag This Image"));
    EXPECT_EQ(L"res://elsewhere/5001", KeyText(HKEY_CURRENT_USER, kMenuEntry)) << "an entry the user has stays";
    EXPECT_EQ(settingsBefore, KeyTree(HKEY_CURRENT_USER, settings)) << "the user's settings and history stay";

    // A copy that is not the registered one leaves a user as they are.
    ASSERT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library_));
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VellumpostToolbar");
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, get(CLSID_StockBar, IID_PPV_ARGS(&factory)));
    Microsoft::WRL::ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    EXPECT_EQ(L"<none>", KeyText(HKEY_CURRENT_USER, L"Software\\VellumpostToolbar"));
}

}  // namespace
