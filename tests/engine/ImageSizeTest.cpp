// Size texts, the fit rules, the format table and temporary base paths.
#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <climits>

#include "engine/ImageFormat.h"
#include "engine/ImageSize.h"
#include "engine/TemporaryBasePath.h"

namespace {

TEST(ImageSize, NormalizeSizeTextKeepsOnlyValidSizes)
{
    const struct {
        const wchar_t* text;
        const wchar_t* normalised;
    } cases[] = {
        {L"100x75 (avatar)", L"100x75"},
        {L"320x240 (for websites and email)", L"320x240"},
        {L"1600x1200 (21-inch monitor)", L"1600x1200"},
        {L"426x320 (Medium)", L"426x320"},
        {L"640x480 (a) (b)", L"640x480"},
        {L"1024X768", L"1024X768"},
        {L"Optimize without resizing", L"resample"},
        {L"", L"resample"},
        {L"320x", L"resample"},
        {L"320x240x2", L"resample"},
        {L"320 x 240", L"resample"},
        {L"320x240(small)", L"resample"},
        {L"-320x240", L"resample"},
        {L"x240", L"resample"},  // a side without a number, or a zero side, is a box nothing fits in
        {L"0x0", L"resample"},
        {L"640x0", L"resample"},
        {L"000x240", L"resample"},
        {L"0640x480", L"0640x480"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.normalised, NormalizeSizeText(c.text)) << "text: " << testing::PrintToString(std::wstring(c.text));
}

TEST(ImageSize, ParseSizeTextReadsBothSides)
{
    int w = -1, h = -1;
    EXPECT_TRUE(ParseSizeText(L"320x240", w, h));
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_TRUE(ParseSizeText(L"1600X1200", w, h));
    EXPECT_EQ(1600, w);
    EXPECT_EQ(1200, h);
    EXPECT_TRUE(ParseSizeText(L"99999999999x7", w, h));
    EXPECT_EQ(INT_MAX, w);
    EXPECT_EQ(7, h);
    EXPECT_FALSE(ParseSizeText(L"resample", w, h));
    EXPECT_EQ(0, w);
    EXPECT_EQ(0, h);
    EXPECT_FALSE(ParseSizeText(L"", w, h));

    EXPECT_TRUE(IsResampleSize(L"ReSample"));
    EXPECT_FALSE(IsResampleSize(L"resample "));
    EXPECT_FALSE(IsResampleSize(L"320x240"));
}

TEST(ImageSize, FittedSizeKeepsAspectRatioInsideTheBox)
{
    const struct {
        int width, height, boxWidth, boxHeight, expectedWidth, expectedHeight;
    } cases[] = {
        {2000, 1000, 640, 480, 640, 320},
        {1000, 2000, 640, 480, 240, 480},
        {100, 50, 320, 240, 100, 50},     // already fits: untouched
        {640, 480, 640, 480, 640, 480},   // exactly the box
        {800, 700, 640, 480, 548, 480},   // wider than high, yet the height limits
        {700, 500, 640, 480, 640, 457},
        {1000, 1000, 640, 480, 480, 480},
        {10000, 1, 150, 150, 150, 1},     // never shrinks a side to 0
        {1, 10000, 150, 150, 1, 150},
        {300, 200, 0, 0, 300, 200},       // empty box: nothing to compute
    };
    for (const auto& c : cases) {
        const PictureSize size = FittedSize(c.width, c.height, c.boxWidth, c.boxHeight);
        EXPECT_EQ(c.expectedWidth, size.width) << c.width << "x" << c.height << " into " << c.boxWidth << "x" << c.boxHeight;
        EXPECT_EQ(c.expectedHeight, size.height) << c.width << "x" << c.height << " into " << c.boxWidth << "x" << c.boxHeight;
        if (c.boxWidth > 0) {
            EXPECT_TRUE(FitsInBox(size.width, size.height, c.boxWidth, c.boxHeight));
        }
    }
}

TEST(ImageFormat, ExtensionTable)
{
    const struct {
        const wchar_t* path;
        const GUID* format;
        const wchar_t* outputExtension;
    } cases[] = {
        {L"C:\\p\\a.JPG", &Gdiplus::ImageFormatJPEG, L".jpg"}, {L"a.jpeg", &Gdiplus::ImageFormatJPEG, L".jpg"},
        {L"a.gif", &Gdiplus::ImageFormatGIF, L".gif"},         {L"a.Bmp", &Gdiplus::ImageFormatBMP, L".bmp"},
        {L"a.png", &Gdiplus::ImageFormatPNG, L".png"},         {L"a.tif", &Gdiplus::ImageFormatTIFF, L".tiff"},
        {L"a.TIFF", &Gdiplus::ImageFormatTIFF, L".tiff"},      {L"movie.avi", &GUID_NULL, L".jpg"},
        {L"C:\\x.png\\noext", &GUID_NULL, L".jpg"},            {L"", &GUID_NULL, L".jpg"},
    };
    for (const auto& c : cases) {
        const GUID format = ImageFormatFromPath(c.path);
        EXPECT_TRUE(IsEqualGUID(*c.format, format)) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(!IsEqualGUID(*c.format, GUID_NULL), IsKnownImage(c.path));
        EXPECT_STREQ(c.outputExtension, ExtensionForImageFormat(format));
    }
}

std::wstring TempFolderPath()
{
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return std::wstring(buffer, length);
}

// The part after "<temp folder><name>" must be a lower-case hexadecimal number.
void ExpectBase(const std::wstring& base, const std::wstring& name)
{
    const std::wstring prefix = TempFolderPath() + name;
    ASSERT_EQ(0u, base.find(prefix)) << testing::PrintToString(base);
    const std::wstring stamp = base.substr(prefix.size());
    EXPECT_FALSE(stamp.empty());
    EXPECT_EQ(std::wstring::npos, stamp.find_first_not_of(L"0123456789abcdef")) << testing::PrintToString(base);
}

TEST(TemporaryBasePath, NameAndStamp)
{
    ExpectBase(TemporaryBasePath(L"C:\\pics\\holiday.photo.jpg"), L"holiday.photo");
    ExpectBase(TemporaryBasePath(L"file:///C:/pics/a.png"), L"a");
    ExpectBase(TemporaryBasePath(L"C:\\pics/sub\\b.png"), L"b");
    ExpectBase(TemporaryBasePath(L"/scr"), L"scr");
    ExpectBase(TemporaryBasePath(L"nosep.jpg"), L"img");
    EXPECT_LE(TemporaryBasePath(L"C:\\" + std::wstring(400, L'n') + L".jpg").size(), 255u);
}

TEST(TemporaryBasePath, TwoBasesInOneTickDiffer)
{
    const std::wstring first = TemporaryBasePath(L"C:\\pics\\a.jpg");
    const std::wstring second = TemporaryBasePath(L"C:\\pics\\a.jpg");
    EXPECT_NE(first, second);
}

}  // namespace
