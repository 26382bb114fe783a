// Clipboard pictures: headers that contradict the memory around them are
// refused before a pixel is read, pictures too large are named with their
// size, and sound bitmaps and PNG data come out as PNG files of the same size.
#include <windows.h>

#include <gdiplus.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ClipboardPicture.h"
#include "engine/GdiplusSession.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"

namespace {

BITMAPINFOHEADER& HeaderOf(std::vector<BYTE>& dib)
{
    return *reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
}

TEST(ClipboardPictureTest, HostileBitmapHeadersAreRefusedWithoutReadingPastTheirMemory)
{
    struct Case {
        const char* what;
        std::function<void(std::vector<BYTE>&)> damage;
        PictureCheck::Verdict verdict;
    };
    const Case cases[] = {
        {"a palette that runs past the memory", [](auto& dib) { dib.resize(sizeof(BITMAPINFOHEADER) + 100); },
         PictureCheck::kDamaged},
        {"more palette entries than the bits allow", [](auto& dib) { HeaderOf(dib).biClrUsed = 0xFFFFFFFF; },
         PictureCheck::kDamaged},
        {"rows one byte short", [](auto& dib) { dib.pop_back(); }, PictureCheck::kDamaged},
        {"the rows of the largest picture in a few bytes of memory",
         [](auto& dib) {
             HeaderOf(dib).biWidth = 16384;
             HeaderOf(dib).biHeight = 16384;
             HeaderOf(dib).biBitCount = 32;
             HeaderOf(dib).biClrUsed = 0;
         },
         PictureCheck::kDamaged},
        {"a header longer than the memory",
         [](auto& dib) {
             HeaderOf(dib).biSize = sizeof(BITMAPV5HEADER);
             dib.resize(60);
         },
         PictureCheck::kDamaged},
        {"compressed rows", [](auto& dib) { HeaderOf(dib).biCompression = BI_RLE8; }, PictureCheck::kDamaged},
        {"masks without room for them",
         [](auto& dib) {
             HeaderOf(dib).biBitCount = 32;
             HeaderOf(dib).biCompression = BI_BITFIELDS;
             HeaderOf(dib).biClrUsed = 0;
             HeaderOf(dib).biWidth = 8;
             dib.resize(sizeof(BITMAPINFOHEADER) + 8 * 4 * 8);
         },
         PictureCheck::kDamaged},
        {"the most negative height", [](auto& dib) { HeaderOf(dib).biHeight = LONG_MIN; }, PictureCheck::kTooLarge},
        {"sides that overflow any product",
         [](auto& dib) { HeaderOf(dib).biWidth = HeaderOf(dib).biHeight = LONG_MAX; },
         PictureCheck::kTooLarge},
        {"one pixel wider than allowed", [](auto& dib) { HeaderOf(dib).biWidth = 16385; }, PictureCheck::kTooLarge},
    };
    vptest::TempFolder folder;
    for (const Case& c : cases) {
        std::vector<BYTE> dib = vptest::MakeDib(8, 8, 8);
        c.damage(dib);
        const PictureCheck check = CheckDib(dib.data(), dib.size());
        EXPECT_EQ(c.verdict, check.verdict) << c.what;
        std::wstring output;
        EXPECT_TRUE(FAILED(SaveDibAsPng(dib, folder.File(L"never"), output))) << c.what;
        EXPECT_TRUE(output.empty()) << c.what;
    }
    EXPECT_EQ(PictureCheck::kDamaged, CheckDib(nullptr, 0).verdict);
}

TEST(ClipboardPictureTest, SoundBitmapsAndPngDataBecomePngFilesOfTheSameSize)
{
    GdiplusSession gdiplus;
    vptest::TempFolder folder;
    std::wstring output;

    // A bitmap with a palette (the service test sends one without).
    const std::vector<BYTE> dib = vptest::MakeDib(64, 48, 8);
    ASSERT_EQ(S_OK, SaveDibAsPng(dib, folder.File(L"dib"), output));
    const vptest::Decoded decoded = vptest::Decode(output);
    EXPECT_TRUE(decoded.ok && decoded.width == 64 && decoded.height == 48);
    EXPECT_TRUE(IsEqualGUID(Gdiplus::ImageFormatPNG, decoded.format));

    // A GDI bitmap, as CF_BITMAP hands one over.
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 30, 20);
    ReleaseDC(nullptr, screen);
    std::vector<BYTE> copy;
    EXPECT_EQ(PictureCheck::kFits, DibFromBitmap(bitmap, copy).verdict);
    DeleteObject(bitmap);
    ASSERT_EQ(S_OK, SaveDibAsPng(copy, folder.File(L"gdi"), output));
    EXPECT_EQ(30, vptest::Decode(output).width);

    vptest::MakePicture(folder.File(L"source.png"), 40, 30, Gdiplus::ImageFormatPNG);
    const std::string file = vptest::ReadFileBytes(folder.File(L"source.png"));
    std::vector<BYTE> png(file.begin(), file.end());
    ASSERT_EQ(PictureCheck::kFits, CheckPng(png.data(), png.size()).verdict);
    ASSERT_EQ(S_OK, SavePngAsPng(png, folder.File(L"copy"), output));
    EXPECT_EQ(40, vptest::Decode(output).width);

    // Width 20000 in the header chunk (big-endian at byte 16).
    std::vector<BYTE> wide(png);
    wide[16] = 0, wide[17] = 0, wide[18] = 0x4E, wide[19] = 0x20;
    EXPECT_EQ(PictureCheck::kTooLarge, CheckPng(wide.data(), wide.size()).verdict);
    EXPECT_EQ(PictureCheck::kDamaged, CheckPng(png.data(), 20).verdict);
    // A sound header over rows that do not decode: refused, and no file is left.
    std::vector<BYTE> garbled(png.begin(), png.begin() + 40);
    garbled.resize(200, 0xAB);
    output = L"unchanged";
    EXPECT_EQ(kUndecodable, SavePngAsPng(garbled, folder.File(L"garbled"), output));
    EXPECT_TRUE(output.empty());
    EXPECT_FALSE(vptest::FileExists(folder.File(L"garbled.png")));
}

}  // namespace
