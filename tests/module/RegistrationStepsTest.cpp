// The Explorer file types and the browser user-agent entry, each registered
// into and removed from a private key that stands in for the machine's
// classes root, with other programs' entries around them.
#include <windows.h>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "common/ComModule.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "module/setup/FileTypeRegistration.h"
#include "module/setup/UserAgentEntry.h"
#include "support/Registration.h"

namespace {

using vptest::KeyExists;
using vptest::KeyText;
using vptest::KeyTree;
using vptest::SetKeyText;

const wchar_t kThumbnailHandler[] = L"shellex\\{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kOtherMenuHandler[] = L"shellex\\ContextMenuHandlers\\OtherProgram";

class FileTypeRegistrationTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root_.Create(HKEY_CURRENT_USER, L"Classes root")); }

    std::wstring OurHandler(const std::wstring& fileClass) const
    {
        return fileClass + L"\\shellex\\ContextMenuHandlers\\" + GuidText(CLSID_ImageContextMenu);
    }

    RegKey root_;
    LogWriter log_{"REGISTRATOR"};
};

TEST_F(FileTypeRegistrationTest, RegistrationNamesMissingClassesAndAddsTheHandlerBesideOthers)
{
    SetKeyText(root_, L".jpg", nullptr, L"jpegfile");
    SetKeyText(root_, L"jpegfile\\" + std::wstring(kOtherMenuHandler), nullptr, L"Other");
    SetKeyText(root_, L".gif", nullptr, L"");           // empty: counts as no class
    SetKeyText(root_, L".tif", nullptr, L"CLSID\\{x}");  // not a class name: left alone
    RegisterFileTypes(root_, ContextMenuHandlerClass(false), log_);
    RegisterFileTypes(root_, ContextMenuHandlerClass(false), log_);  // repeating changes nothing

    EXPECT_EQ(L"pngfile", KeyText(root_, L".png")) << "an extension key that did not exist";
    EXPECT_EQ(L"giffile", KeyText(root_, L".gif"));
    EXPECT_EQ(L"jpegfile", KeyText(root_, L".jpg"));
    EXPECT_EQ(L"Flash.VideoFile", KeyText(root_, L".flv"));
    EXPECT_EQ(L"Vellumpost", KeyText(root_, OurHandler(L"jpegfile")));
    EXPECT_EQ(L"Vellumpost", KeyText(root_, OurHandler(L"pngfile")));
    EXPECT_EQ(L"Other", KeyText(root_, L"jpegfile\\" + std::wstring(kOtherMenuHandler)));
    EXPECT_EQ(L"CLSID\\{x}", KeyText(root_, L".tif"));
    EXPECT_FALSE(KeyExists(root_, L"CLSID"));
    EXPECT_EQ(L"Vellumpost", KeyText(root_, OurHandler(L"tifffile"))) << ".tiff still leads to the class";

    RegisterFileTypes(root_, ContextMenuHandlerClass(true), log_);
    EXPECT_TRUE(KeyExists(root_, L"pngfile\\shellex\\ContextMenuHandlers\\{600BBED3-2529-4664-BC94-F588F8958F8B}"))
        << "on 64-bit Windows the handler is the 64-bit extension";
}

TEST_F(FileTypeRegistrationTest, RemovalTakesOutOnlyWhatRegistrationAdded)
{
    SetKeyText(root_, L".jpg", nullptr, L"jpegfile");
    SetKeyText(root_, L"jpegfile\\" + std::wstring(kOtherMenuHandler), nullptr, L"Other");
    SetKeyText(root_, L".bmp", nullptr, L"bmpfile");
    SetKeyText(root_, L"bmpfile\\" + std::wstring(kThumbnailHandler), nullptr, L"{thumbnails}");
    SetKeyText(root_, L".png", nullptr, L"pngfile");
    SetKeyText(root_, L"pngfile\\shellex", L"Note", L"a value of another program");
    const std::wstring jpegBefore = KeyTree(root_, L"jpegfile");
    const std::wstring bmpBefore = KeyTree(root_, L"bmpfile");
    const std::wstring pngBefore = KeyTree(root_, L"pngfile");

    RegisterFileTypes(root_, ContextMenuHandlerClass(false), log_);
    UnregisterFileTypes(root_, ContextMenuHandlerClass(false), log_);

    EXPECT_EQ(jpegBefore, KeyTree(root_, L"jpegfile")) << "another context-menu handler stays";
    EXPECT_EQ(bmpBefore, KeyTree(root_, L"bmpfile")) << "a thumbnail handler keeps shellex";
    EXPECT_EQ(pngBefore, KeyTree(root_, L"pngfile")) << "a value keeps shellex";
    EXPECT_EQ(L"giffile\n", KeyTree(root_, L"giffile")) << "a class of its own loses its shellex";
    EXPECT_EQ(L"giffile", KeyText(root_, L".gif")) << "the class name given at registration stays";

    UnregisterFileTypes(root_, ContextMenuHandlerClass(false), log_);  // nothing left to remove
    EXPECT_EQ(jpegBefore, KeyTree(root_, L"jpegfile"));
}

TEST(UserAgentEntryTest, RegistrationKeepsOneValueOfTheProductAndRemovalLeavesOthers)
{
    RegKey machine;
    ASSERT_TRUE(machine.Create(HKEY_CURRENT_USER, L"Machine root"));
    const std::wstring key =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\User Agent\\Post Platform";
    SetKeyText(machine, key, L"Vellumpost Toolbar 1.0.0", L"");
    SetKeyText(machine, key, L"vellumpost toolbar 2.0.1", L"");
    SetKeyText(machine, key, L"Other Toolbar 3.0", L"");
    SetKeyText(machine, key, L"VellumpostToolbarHelper", L"");

    RegisterUserAgent(machine, L"Vellumpost Toolbar 4.8.3");
    RegisterUserAgent(machine, L"Vellumpost Toolbar 4.8.3");
    RegKey entries;
    DWORD values = 0;
    ASSERT_TRUE(entries.Open(machine, key.c_str()));
    RegQueryInfoKeyW(entries, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    EXPECT_EQ(3u, values) << "older versions' values are gone";
    EXPECT_EQ(L"", KeyText(machine, key, L"Vellumpost Toolbar 4.8.3"));
    EXPECT_EQ(L"", KeyText(machine, key, L"Other Toolbar 3.0"));

    UnregisterUserAgent(machine, L"Vellumpost Toolbar 4.8.3");
    EXPECT_EQ(L"<none>", KeyText(machine, key, L"Vellumpost Toolbar 4.8.3"));
    EXPECT_EQ(L"", KeyText(machine, key, L"Other Toolbar 3.0"));
    EXPECT_EQ(L"", KeyText(machine, key, L"VellumpostToolbarHelper"));
}

}  // namespace
