// Resizing, saving and capturing real pictures with GDI+, in a temporary
// folder per test, and the call contract of the outside resize library
// (played by a test library loaded from its own folder).
#include <gtest/gtest.h>

#include <windows.h>

#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/FrameScaler.h"
#include "engine/GdiplusSession.h"
#include "engine/ImageConverter.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"

namespace {

using vptest::FileExists;
using vptest::ReadFileBytes;
using vptest::Decode;
using vptest::Decoded;
using vptest::EncoderFor;
using vptest::MakeJpegWithExif;
using vptest::MakePicture;
using vptest::Paint;
using vptest::Pattern;
using vptest::kCameraMake;
using vptest::kGradient;
using vptest::kNoise;
using vptest::kSolid;

// Every file named "<base>.*".
std::vector<std::wstring> FilesWithBase(const std::wstring& base)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L".*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(0, text.find_last_of(L'\\') + 1);
}

class ImageResize : public testing::Test {
protected:
    GdiplusSession session_;
    vptest::TempFolder folder_;
    FrameScaler noScaler_{folder_.Path()};  // an empty folder: the platform route alone
};

TEST_F(ImageResize, PlatformRouteShrinksIntoTheBox)
{
    const struct {
        const wchar_t* name;
        int width, height, boxWidth, boxHeight;
        const GUID* sourceFormat;
        const GUID* requested;
        const wchar_t* extension;
        int expectedWidth, expectedHeight;
        const GUID* expectedFormat;
    } cases[] = {
        {L"wide.jpg", 2000, 1000, 640, 480, &Gdiplus::ImageFormatJPEG, &GUID_NULL, L".jpg", 640, 320, &Gdiplus::ImageFormatJPEG},
        {L"tall.png", 1000, 2000, 640, 480, &Gdiplus::ImageFormatPNG, &GUID_NULL, L".png", 240, 480, &Gdiplus::ImageFormatPNG},
        {L"squat.bmp", 800, 700, 640, 480, &Gdiplus::ImageFormatBMP, &GUID_NULL, L".bmp", 548, 480, &Gdiplus::ImageFormatBMP},
        {L"thumb.png", 300, 200, 150, 150, &Gdiplus::ImageFormatPNG, &Gdiplus::ImageFormatJPEG, L".jpg", 150, 100, &Gdiplus::ImageFormatJPEG},
        {L"scan.TIF", 400, 400, 100, 100, &Gdiplus::ImageFormatTIFF, &GUID_NULL, L".tiff", 100, 100, &Gdiplus::ImageFormatTIFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        const std::wstring source = folder_.File(c.name), base = folder_.File(L"out");
        MakePicture(source, c.width, c.height, *c.sourceFormat);
        std::wstring output;
        ASSERT_EQ(kResizeWritten, ResizeToFile(source, c.boxWidth, c.boxHeight, base, *c.requested, output, noScaler_));
        EXPECT_EQ(base + c.extension, output);
        const Decoded d = Decode(output);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(c.expectedWidth, d.width);
        EXPECT_EQ(c.expectedHeight, d.height);
        EXPECT_TRUE(IsEqualGUID(*c.expectedFormat, d.format));
        DeleteFileW(output.c_str());
    }
}

TEST_F(ImageResize, PictureThatFitsIsNotTouched)
{
    const std::wstring source = folder_.File(L"small.png"), base = folder_.File(L"out");
    MakePicture(source, 100, 50, Gdiplus::ImageFormatPNG);
    std::wstring output;
    EXPECT_EQ(kResizeFits, ResizeToFile(source, 320, 240, base, GUID_NULL, output, noScaler_));
    EXPECT_EQ(source, output);
    EXPECT_TRUE(FilesWithBase(base).empty());
}

TEST_F(ImageResize, ResizedJpegKeepsItsExif)
{
    const std::wstring source = folder_.File(L"camera.jpg"), base = folder_.File(L"out");
    MakeJpegWithExif(source, 2000, 1000);
    std::wstring output;
    ASSERT_EQ(kResizeWritten, ResizeToFile(source, 640, 480, base, GUID_NULL, output, noScaler_));
    const std::string bytes = ReadFileBytes(output);
    const size_t exif = bytes.find(std::string("\xFF\xE1", 2));
    ASSERT_NE(std::string::npos, exif);
    EXPECT_EQ(0u, bytes.compare(exif + 4, 6, std::string("Exif\0\0", 6)));
    EXPECT_NE(std::string::npos, bytes.find(kCameraMake));
    EXPECT_EQ(640, Decode(output).width);
}

TEST_F(ImageResize, UnknownExtensionAndBrokenFiles)
{
    // A PNG under an unknown extension is still scaled; the saver picks the format.
    const std::wstring disguised = folder_.File(L"picture.dat");
    MakePicture(disguised, 400, 300, Gdiplus::ImageFormatPNG);
    std::wstring output;
    ASSERT_EQ(kResizeWritten, ResizeToFile(disguised, 200, 200, folder_.File(L"a"), GUID_NULL, output, noScaler_));
    EXPECT_TRUE(output == folder_.File(L"a.png") || output == folder_.File(L"a.jpg")) << testing::PrintToString(output);
    EXPECT_EQ(150, Decode(output).height);
    EXPECT_EQ(1u, FilesWithBase(folder_.File(L"a")).size());

    const std::string good = ReadFileBytes(disguised);
    const struct {
        const wchar_t* name;
        std::string bytes;
    } broken[] = {
        {L"text.jpg", "not a picture at all"},
        {L"empty.png", ""},
        {L"cut.png", good.substr(0, 40)},
    };
    for (const auto& c : broken) {
        const std::wstring path = folder_.Write(c.name, c.bytes), base = folder_.File(L"b");
        EXPECT_LT(ResizeToFile(path, 200, 200, base, GUID_NULL, output, noScaler_), 0) << testing::PrintToString(std::wstring(c.name));
        EXPECT_TRUE(output.empty());
        EXPECT_TRUE(FilesWithBase(base).empty());
    }
    EXPECT_LT(ResizeToFile(folder_.File(L"missing.jpg"), 200, 200, folder_.File(L"c"), GUID_NULL, output, noScaler_), 0);
    EXPECT_EQ(E_INVALIDARG, ResizeToFile(disguised, 0, 0, folder_.File(L"d"), GUID_NULL, output, noScaler_));
}

TEST_F(ImageResize, SaveBitmapChoosesPngOrTheSmallerFile)
{
    const struct {
        const wchar_t* name;
        int width, height;
        Pattern pattern;
        const GUID* format;
        const wchar_t* extension;
    } cases[] = {
        {L"small", 150, 149, kNoise, &GUID_NULL, L".png"},  // under 22500 pixels: PNG even when larger
        {L"flat", 150, 150, kSolid, &GUID_NULL, L".png"},   // PNG is smaller
        {L"noisy", 300, 300, kNoise, &GUID_NULL, L".jpg"},  // JPEG is smaller
        {L"asked", 300, 300, kNoise, &Gdiplus::ImageFormatBMP, L".bmp"},
        {L"gif", 64, 64, kGradient, &Gdiplus::ImageFormatGIF, L".gif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        Gdiplus::Bitmap bitmap(c.width, c.height, PixelFormat32bppARGB);
        Paint(bitmap, c.pattern);
        const std::wstring base = folder_.File(c.name);
        std::wstring output;
        ASSERT_EQ(S_OK, SaveBitmap(bitmap, base, *c.format, nullptr, output));
        EXPECT_EQ(base + c.extension, output);
        EXPECT_EQ(1u, FilesWithBase(base).size());
        const Decoded d = Decode(output);
        EXPECT_EQ(c.width, d.width);
        EXPECT_EQ(c.height, d.height);
    }
}

TEST_F(ImageResize, InMemoryPictureIsResizedWithoutTheOutsideLibrary)
{
    Gdiplus::Bitmap bitmap(1000, 500, PixelFormat32bppARGB);
    Paint(bitmap, kGradient);
    const std::wstring base = folder_.File(L"page");
    std::wstring output;
    EXPECT_EQ(kResizeFits, ResizeBitmapToFile(bitmap, 1000, 500, base, GUID_NULL, output, noScaler_));
    EXPECT_TRUE(FilesWithBase(base).empty());
    ASSERT_EQ(kResizeWritten, ResizeBitmapToFile(bitmap, 320, 240, base, GUID_NULL, output, noScaler_));
    EXPECT_EQ(base + L".png", output);
    EXPECT_EQ(160, Decode(output).height);
}

TEST_F(ImageResize, WindowCaptureSavesWithTheFormatChoice)
{
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 10, 10, 150, 149,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    std::wstring output;
    EXPECT_TRUE(SaveWindowImage(window, folder_.File(L"shot"), &output));
    DestroyWindow(window);
    EXPECT_EQ(folder_.File(L"shot.png"), output);
    const Decoded d = Decode(output);
    EXPECT_EQ(150, d.width);
    EXPECT_EQ(149, d.height);

    EXPECT_TRUE(SaveWindowImage(GetDesktopWindow(), folder_.File(L"desk"), &output));
    EXPECT_EQ(1u, FilesWithBase(folder_.File(L"desk")).size());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), Decode(output).width);
    EXPECT_FALSE(SaveWindowImage(nullptr, folder_.File(L"none"), &output));
}

TEST(GdiplusSession, LastSessionShutsTheLibraryDown)
{
    const long before = GdiplusSession::ActiveCount();
    {
        GdiplusSession outer;
        ASSERT_TRUE(outer.IsStarted());
        {
            GdiplusSession inner;
            EXPECT_EQ(before + 2, GdiplusSession::ActiveCount());
        }
        Gdiplus::Bitmap stillUsable(4, 4, PixelFormat32bppARGB);
        EXPECT_EQ(Gdiplus::Ok, stillUsable.GetLastStatus());
    }
    EXPECT_EQ(before, GdiplusSession::ActiveCount());
}

// The outside library's contract, played by tests/framescaler.
class OutsideResizeLibrary : public ImageResize {
protected:
    enum Mode { kCopySource = 0, kFail = 1, kSucceedWithoutFile = 2, kWriteEmptyFile = 3 };
    using SetModeFunction = void(__cdecl*)(int);
    using LastCallFunction = int(__cdecl*)(const char**, int*, int*, const char**);

    void SetUp() override
    {
        double_ = LoadLibraryW((ExeFolder() + L"framescaler\\FrameScaler.dll").c_str());
        ASSERT_NE(nullptr, double_) << "test library missing";
        setMode_ = reinterpret_cast<SetModeFunction>(GetProcAddress(double_, "FrameScalerTestSetMode"));
        lastCall_ = reinterpret_cast<LastCallFunction>(GetProcAddress(double_, "FrameScalerTestLastCall"));
        ASSERT_TRUE(setMode_ && lastCall_);
        scaler_ = std::make_unique<FrameScaler>(ExeFolder() + L"framescaler");
        ASSERT_TRUE(scaler_->IsAvailable());
        source_ = folder_.File(L"big.png");
        MakePicture(source_, 400, 300, Gdiplus::ImageFormatPNG);
    }
    void TearDown() override
    {
        scaler_.reset();
        if (double_) FreeLibrary(double_);
    }
    // Number of calls since the mode was set; the arguments of the last one.
    int LastCall(std::string& source, int& width, int& height, std::string& destination)
    {
        const char *s = nullptr, *d = nullptr;
        const int calls = lastCall_(&s, &width, &height, &d);
        source = s, destination = d;
        return calls;
    }
    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    HMODULE double_ = nullptr;
    SetModeFunction setMode_ = nullptr;
    LastCallFunction lastCall_ = nullptr;
    std::unique_ptr<FrameScaler> scaler_;
    std::wstring source_;
};

TEST_F(OutsideResizeLibrary, IsTriedFirstWithNarrowPathsAndTheBox)
{
    setMode_(kCopySource);
    const std::wstring base = folder_.File(L"out");
    std::wstring output;
    ASSERT_EQ(kResizeWritten, ResizeToFile(source_, 200, 100, base, GUID_NULL, output, *scaler_));
    EXPECT_EQ(base + L".png", output);
    EXPECT_EQ(ReadFileBytes(source_), ReadFileBytes(output));  // the library's file, not a platform resize
    std::string source, destination;
    int width = 0, height = 0;
    ASSERT_EQ(1, LastCall(source, width, height, destination));
    EXPECT_EQ(Narrow(source_), source);
    EXPECT_EQ(Narrow(base + L".png"), destination);
    EXPECT_EQ(200, width);
    EXPECT_EQ(100, height);

    // An unknown extension asks the library for a JPEG.
    const std::wstring other = folder_.File(L"picture.dat");
    CopyFileW(source_.c_str(), other.c_str(), FALSE);
    ASSERT_EQ(kResizeWritten, ResizeToFile(other, 200, 100, folder_.File(L"o2"), GUID_NULL, output, *scaler_));
    EXPECT_EQ(folder_.File(L"o2.jpg"), output);

    // A picture that fits never reaches the library.
    setMode_(kCopySource);
    EXPECT_EQ(kResizeFits, ResizeToFile(source_, 400, 300, folder_.File(L"o3"), GUID_NULL, output, *scaler_));
    EXPECT_EQ(0, LastCall(source, width, height, destination));
}

TEST_F(OutsideResizeLibrary, FailureFallsBackToThePlatformRoute)
{
    for (int mode : {kFail, kSucceedWithoutFile, kWriteEmptyFile}) {
        SCOPED_TRACE(mode);
        setMode_(mode);
        const std::wstring base = folder_.File(L"out" + std::to_wstring(mode));
        std::wstring output;
        ASSERT_EQ(kResizeWritten, ResizeToFile(source_, 200, 200, base, GUID_NULL, output, *scaler_));
        EXPECT_EQ(base + L".png", output);
        const Decoded d = Decode(output);
        EXPECT_EQ(200, d.width);
        EXPECT_EQ(150, d.height);
        std::string source, destination;
        int width, height;
        EXPECT_EQ(1, LastCall(source, width, height, destination));
    }
}

TEST_F(OutsideResizeLibrary, PathWithoutNarrowFormIsNotHandedOver)
{
    setMode_(kCopySource);
    const std::wstring source = folder_.File(L"\x4E2D\x6587.png");
    ASSERT_TRUE(CopyFileW(source_.c_str(), source.c_str(), FALSE));
    std::wstring output;
    ASSERT_EQ(kResizeWritten, ResizeToFile(source, 200, 200, folder_.File(L"out"), GUID_NULL, output, *scaler_));
    EXPECT_EQ(150, Decode(output).height);
    std::string s, d;
    int w, h;
    EXPECT_EQ(0, LastCall(s, w, h, d));
}

TEST_F(OutsideResizeLibrary, InMemoryPictureGoesThroughATemporaryCopy)
{
    setMode_(kCopySource);
    Gdiplus::Bitmap bitmap(1000, 500, PixelFormat32bppARGB);
    Paint(bitmap, kGradient);
    const std::wstring base = folder_.File(L"page");
    std::wstring output;
    ASSERT_EQ(kResizeWritten, ResizeBitmapToFile(bitmap, 320, 240, base, GUID_NULL, output, *scaler_));
    EXPECT_EQ(base + L".png", output);
    std::string source, destination;
    int width, height;
    ASSERT_EQ(1, LastCall(source, width, height, destination));
    EXPECT_EQ(Narrow(base + L".png"), destination);
    ASSERT_GT(source.size(), 13u);
    EXPECT_EQ(".original.png", source.substr(source.size() - 13));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(source.c_str()));  // the copy is gone
}

}  // namespace
