// Registration of the built toolbar library with regsvr32 in the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "support/Registration.h"

namespace {

using vptest::ClassesKeyExists;
using vptest::GuidText;

TEST(ToolbarLibraryRegistration, Regsvr32RegistersAndUnregistersTheClassesAndTheTypeLibrary)
{
    std::wstring library = vptest::ToolbarLibraryPath();
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(library.c_str())) << "the toolbar library is built";
    const std::wstring typeLibKey = L"TypeLib\\" + GuidText(LIBID_VellumpostToolbarLib) + L"\\1.0";
    const std::wstring uploaderKey = L"CLSID\\" + GuidText(CLSID_IEImageUploader) + L"\\InprocServer32";

    EXPECT_EQ(0u, vptest::RunRegsvr32(L"/s", library));
    EXPECT_TRUE(ClassesKeyExists(typeLibKey));
    EXPECT_TRUE(ClassesKeyExists(uploaderKey));
    EXPECT_TRUE(ClassesKeyExists(L"VellumpostToolbar.IEImageUploader\\CLSID"));
    EXPECT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library));
    EXPECT_FALSE(ClassesKeyExists(typeLibKey));
    EXPECT_FALSE(ClassesKeyExists(uploaderKey));
    EXPECT_EQ(0u, vptest::RunRegsvr32(L"/u /s", library)) << "unregistering twice still succeeds";
    // Later tests of this program rely on the registered type library.
    EXPECT_EQ(0u, vptest::RunRegsvr32(L"/s", library));
}

}  // namespace
