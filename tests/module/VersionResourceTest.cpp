// The version resource of the toolbar library, read from this program's own
// image: the numeric file and product versions and their text forms agree.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::vector<BYTE> OwnVersionBlock()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, block.data())) block.clear();
    return block;
}

std::wstring Value(std::vector<BYTE>& block, const wchar_t* name)
{
    wchar_t* text = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
        return L"";
    return text;
}

TEST(VersionResource, FileAndProductVersionAre4_8_3_75)
{
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, info->dwSignature);
    EXPECT_EQ(MAKELONG(8, 4), info->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(75, 3), info->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(8, 4), info->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(75, 3), info->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), info->dwFileType);

    EXPECT_EQ(L"4.8.3.75", Value(block, L"FileVersion"));
    EXPECT_EQ(L"4.8.3.75", Value(block, L"ProductVersion"));
    EXPECT_EQ(L"VellumpostToolbar.dll", Value(block, L"OriginalFilename"));
}

}  // namespace
