// Picture conversion for uploads on GDI+, with the optional outside resize
// library tried first for files.
#include "engine/ImageConverter.h"

#include <wrl/client.h>

#include <memory>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "engine/GdiplusSession.h"
#include "engine/ImageFormat.h"
#include "engine/ImageSize.h"
#include "engine/JpegExifSegment.h"
#include "engine/TemporaryBasePath.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr long long kSmallPictureArea = 22500;  // below this a picture is saved as PNG
constexpr ULONG kJpegQuality = 85;

// A fresh writer each time, so that the log setting is read when it is needed.
LogWriter Log()
{
    return LogWriter("ImageConverter");
}

bool EncoderFor(const GUID& format, CLSID& encoder)
{
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (IsEqualGUID(codecs[i].FormatID, format)) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Encodes into memory, so that a file is written only once the encoding
// succeeded and a rejected PNG/JPEG candidate never reaches the disk.
bool EncodeToMemory(Gdiplus::Image& image, const CLSID& encoder, const Gdiplus::EncoderParameters* parameters,
                    std::vector<BYTE>& bytes)
{
    bytes.clear();
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
    if (image.Save(stream.Get(), &encoder, parameters) != Gdiplus::Ok) return false;
    STATSTG stat = {};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || stat.cbSize.HighPart != 0) return false;
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.Get(), &memory))) return false;
    const size_t size = stat.cbSize.LowPart;
    if (size > GlobalSize(memory)) return false;
    const void* data = GlobalLock(memory);
    if (!data) return false;
    bytes.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    GlobalUnlock(memory);
    return true;
}

bool EncodeJpeg(Gdiplus::Image& image, const CLSID& encoder, const ImageProperties* properties,
                std::vector<BYTE>& bytes)
{
    if (properties) properties->ApplyTo(image);
    ULONG quality = kJpegQuality;
    Gdiplus::EncoderParameters parameters;
    parameters.Count = 1;
    parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &quality;
    if (!EncodeToMemory(image, encoder, &parameters, bytes)) {
        Log().Write("JPEG with quality and properties failed; saving with the plain encoder");
        if (properties) properties->RemoveFrom(image);
        return EncodeToMemory(image, encoder, nullptr, bytes);
    }
    if (properties && !properties->ExifSegment().empty()) InsertJpegExifSegment(bytes, properties->ExifSegment());
    return true;
}

bool Encode(Gdiplus::Bitmap& image, const GUID& format, const ImageProperties* properties, std::vector<BYTE>& bytes)
{
    CLSID encoder;
    if (!EncoderFor(format, encoder)) {
        Log().Write("No encoder for the picture format");
        return false;
    }
    if (IsEqualGUID(format, Gdiplus::ImageFormatJPEG)) return EncodeJpeg(image, encoder, properties, bytes);
    if (IsEqualGUID(format, Gdiplus::ImageFormatGIF) && !Gdiplus::IsIndexedPixelFormat(image.GetPixelFormat())) {
        // Reduce to a palette first: some GIF encoders write an empty picture
        // from a true-colour bitmap and still report success.
        const int width = static_cast<int>(image.GetWidth()), height = static_cast<int>(image.GetHeight());
        std::unique_ptr<Gdiplus::Bitmap> indexed(image.Clone(Gdiplus::Rect(0, 0, width, height), PixelFormat8bppIndexed));
        if (indexed && indexed->GetLastStatus() == Gdiplus::Ok) return EncodeToMemory(*indexed, encoder, nullptr, bytes);
    }
    return EncodeToMemory(image, encoder, nullptr, bytes);
}

// Writes the whole file or nothing: a failed write removes what was written.
// The file must be new: an existing one (another process's output made in the
// same tick under the same name) is never overwritten.
HRESULT WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    if (bytes.empty() || bytes.size() > MAXDWORD) return E_FAIL;
    File file;
    if (!file.Create(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        Log().Write("Cannot create picture file: ", path.c_str());
        return FAILED(hr) ? hr : E_FAIL;
    }
    const DWORD size = static_cast<DWORD>(bytes.size());
    const bool written = file.Write(bytes.data(), size) && file.Transferred() == size;
    const HRESULT hr = written ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    file.Close();
    if (!written) {
        DeleteFileW(path.c_str());
        Log().Write("Cannot write picture file: ", path.c_str());
        return FAILED(hr) ? hr : E_FAIL;
    }
    return S_OK;
}

bool FileHasContent(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}

// The outside library's part of a resize: true with output set when it wrote
// a non-empty file; otherwise whatever it left is removed.
bool ResizeWithFrameScaler(FrameScaler& scaler, const std::wstring& source, int boxWidth, int boxHeight,
                           const std::wstring& base, const GUID& format, std::wstring& output)
{
    if (!scaler.IsAvailable()) return false;
    const std::wstring target = base + ExtensionForImageFormat(format);
    // The library overwrites its destination, so the name is claimed first
    // with a new empty file; a file already there belongs to someone else.
    {
        File claim;
        if (!claim.Create(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)) {
            Log().Write("Output file exists already: ", target.c_str());
            return false;
        }
    }
    if (scaler.Scale(source, boxWidth, boxHeight, target) && FileHasContent(target)) {
        output = target;
        return true;
    }
    Log().Write("Outside resize library failed for: ", source.c_str());
    DeleteFileW(target.c_str());
    return false;
}

// The platform part: the picture drawn scaled into a new 32-bit bitmap and saved.
int ResizeWithPlatform(Gdiplus::Image& image, int boxWidth, int boxHeight, const std::wstring& base,
                       const GUID& format, const ImageProperties* properties, std::wstring& output)
{
    const int width = static_cast<int>(image.GetWidth());
    const int height = static_cast<int>(image.GetHeight());
    const PictureSize size = FittedSize(width, height, boxWidth, boxHeight);
    Gdiplus::Bitmap scaled(size.width, size.height, PixelFormat32bppARGB);
    if (scaled.GetLastStatus() != Gdiplus::Ok) {
        Log().Format("Cannot create a %dx%d bitmap", size.width, size.height);
        return E_OUTOFMEMORY;
    }
    {
        Gdiplus::Graphics graphics(&scaled);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
        // Mirrored edges keep the border pixels from fading into transparency.
        Gdiplus::ImageAttributes attributes;
        attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
        const Gdiplus::Status status =
            graphics.DrawImage(&image, Gdiplus::Rect(0, 0, size.width, size.height), 0, 0, width, height,
                               Gdiplus::UnitPixel, &attributes);
        if (status != Gdiplus::Ok) {
            Log().Format("Scaling the picture failed with status %d", static_cast<int>(status));
            return E_FAIL;
        }
    }
    return SaveBitmap(scaled, base, format, properties, output);
}

// The decoded picture, or null when the file is missing, not a picture or
// empty. (GetLastStatus reports a failure only once, so it is read here alone.)
std::unique_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& path)
{
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromFile(path.c_str()));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok || picture->GetWidth() == 0 || picture->GetHeight() == 0) {
        return nullptr;
    }
    return picture;
}

bool IsNullFormat(const GUID& format)
{
    return IsEqualGUID(format, GUID_NULL) != FALSE;
}

}  // namespace

void ImageProperties::ReadFrom(Gdiplus::Image& image, const std::wstring& path)
{
    items_.clear();
    const UINT count = image.GetPropertyCount();
    if (count > 0 && count < 0x10000) {
        std::vector<PROPID> ids(count);
        if (image.GetPropertyIdList(count, ids.data()) == Gdiplus::Ok) {
            for (PROPID id : ids) {
                const UINT size = image.GetPropertyItemSize(id);
                if (size < sizeof(Gdiplus::PropertyItem)) continue;
                std::vector<BYTE> buffer(size);
                auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
                if (image.GetPropertyItem(id, size, item) == Gdiplus::Ok) items_.push_back(std::move(buffer));
            }
        }
    }
    exifSegment_ = ReadJpegExifSegment(path);
}

void ImageProperties::ApplyTo(Gdiplus::Image& image) const
{
    for (const std::vector<BYTE>& buffer : items_) {
        image.SetPropertyItem(reinterpret_cast<const Gdiplus::PropertyItem*>(buffer.data()));
    }
}

void ImageProperties::RemoveFrom(Gdiplus::Image& image) const
{
    for (const std::vector<BYTE>& buffer : items_) {
        image.RemovePropertyItem(reinterpret_cast<const Gdiplus::PropertyItem*>(buffer.data())->id);
    }
}

bool FitsInBox(Gdiplus::Image& image, int boxWidth, int boxHeight)
{
    return FitsInBox(static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()), boxWidth, boxHeight);
}

HRESULT SaveBitmap(Gdiplus::Bitmap& bitmap, const std::wstring& base, const GUID& format,
                   const ImageProperties* properties, std::wstring& output)
{
    output.clear();
    GUID chosen = format;
    const long long area = static_cast<long long>(bitmap.GetWidth()) * bitmap.GetHeight();
    if (IsNullFormat(chosen) && area < kSmallPictureArea) chosen = Gdiplus::ImageFormatPNG;

    if (!IsNullFormat(chosen)) {
        std::vector<BYTE> bytes;
        if (!Encode(bitmap, chosen, properties, bytes) || bytes.empty()) {
            Log().Write("Cannot encode picture for: ", base.c_str());
            return E_FAIL;
        }
        const std::wstring path = base + ExtensionForImageFormat(chosen);
        const HRESULT hr = WriteWholeFile(path, bytes);
        if (SUCCEEDED(hr)) output = path;
        return hr;
    }

    // A large picture without a prescribed format: whichever of PNG and JPEG is smaller.
    std::vector<BYTE> png, jpeg;
    const bool pngDone = Encode(bitmap, Gdiplus::ImageFormatPNG, nullptr, png) && !png.empty();
    const bool jpegDone = Encode(bitmap, Gdiplus::ImageFormatJPEG, properties, jpeg) && !jpeg.empty();
    if (!pngDone && !jpegDone) {
        Log().Write("Cannot encode picture as PNG or JPEG for: ", base.c_str());
        return E_FAIL;
    }
    const bool keepJpeg = jpegDone && (!pngDone || jpeg.size() < png.size());
    const std::wstring path = base + (keepJpeg ? L".jpg" : L".png");
    const HRESULT hr = WriteWholeFile(path, keepJpeg ? jpeg : png);
    if (SUCCEEDED(hr)) output = path;
    return hr;
}

HRESULT SaveBitmap(HBITMAP bitmap, const std::wstring& base, const GUID& format, std::wstring& output)
{
    output.clear();
    GdiplusSession session;
    if (!session.IsStarted() || !bitmap) return E_FAIL;
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromHBITMAP(bitmap, nullptr));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) return E_FAIL;
    return SaveBitmap(*picture, base, format, nullptr, output);
}

int ResizeToFile(const std::wstring& source, int boxWidth, int boxHeight, const std::wstring& base,
                 const GUID& format, std::wstring& output, FrameScaler& scaler)
{
    output.clear();
    if (boxWidth <= 0 || boxHeight <= 0) {
        Log().Format("Cannot resize into an empty box %dx%d", boxWidth, boxHeight);
        return E_INVALIDARG;
    }
    GdiplusSession session;
    if (!session.IsStarted()) return E_FAIL;

    std::unique_ptr<Gdiplus::Bitmap> picture = LoadPicture(source);
    if (picture && FitsInBox(*picture, boxWidth, boxHeight)) {
        output = source;
        return kResizeFits;
    }

    const GUID chosen = IsNullFormat(format) ? ImageFormatFromPath(source) : format;
    if (scaler.IsAvailable()) {
        picture.reset();  // the outside library reads the file itself
        if (ResizeWithFrameScaler(scaler, source, boxWidth, boxHeight, base, chosen, output)) return kResizeWritten;
        picture = LoadPicture(source);
    }

    if (!picture) {
        Log().Write("Cannot load picture: ", source.c_str());
        return E_FAIL;
    }
    if (FitsInBox(*picture, boxWidth, boxHeight)) {
        output = source;
        return kResizeFits;
    }
    ImageProperties properties;
    if (IsEqualGUID(chosen, Gdiplus::ImageFormatJPEG)) properties.ReadFrom(*picture, source);
    return ResizeWithPlatform(*picture, boxWidth, boxHeight, base, chosen, &properties, output);
}

int ResizeBitmapToFile(Gdiplus::Bitmap& bitmap, int boxWidth, int boxHeight, const std::wstring& outputBase,
                       const GUID& format, std::wstring& output, FrameScaler& scaler)
{
    output.clear();
    if (bitmap.GetWidth() == 0 || bitmap.GetHeight() == 0) return E_FAIL;
    if (FitsInBox(bitmap, boxWidth, boxHeight)) return kResizeFits;
    if (boxWidth <= 0 || boxHeight <= 0) return E_INVALIDARG;

    const GUID chosen = IsNullFormat(format) ? Gdiplus::ImageFormatPNG : format;
    if (scaler.IsAvailable()) {
        std::wstring original;
        if (SUCCEEDED(SaveBitmap(bitmap, TemporaryBasePath(outputBase) + L".original", Gdiplus::ImageFormatPNG,
                                 nullptr, original))) {
            const bool done = ResizeWithFrameScaler(scaler, original, boxWidth, boxHeight, outputBase, chosen, output);
            DeleteFileW(original.c_str());
            if (done) return kResizeWritten;
        }
    }
    // Without the outside library the picture is still resized here, so the
    // user's size choice holds either way.
    return ResizeWithPlatform(bitmap, boxWidth, boxHeight, outputBase, chosen, nullptr, output);
}

int ResizeBitmapToFile(HBITMAP bitmap, int boxWidth, int boxHeight, const std::wstring& outputBase,
                       const GUID& format, std::wstring& output, FrameScaler& scaler)
{
    output.clear();
    GdiplusSession session;
    if (!session.IsStarted() || !bitmap) return E_FAIL;
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromHBITMAP(bitmap, nullptr));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) return E_FAIL;
    return ResizeBitmapToFile(*picture, boxWidth, boxHeight, outputBase, format, output, scaler);
}

namespace {

// The GDI objects of one capture, released in reverse order of creation.
class WindowCapture {
public:
    explicit WindowCapture(HWND window) : window_(window) {}
    ~WindowCapture()
    {
        if (memoryDc_) {
            if (previous_) SelectObject(memoryDc_, previous_);
            DeleteDC(memoryDc_);
        }
        if (section_) DeleteObject(section_);
    }
    WindowCapture(const WindowCapture&) = delete;
    WindowCapture& operator=(const WindowCapture&) = delete;

    // Copies the window's pixels into a top-down 32-bit section.
    bool Take()
    {
        RECT rect;
        if (!GetWindowRect(window_, &rect)) return false;
        width_ = rect.right - rect.left;
        height_ = rect.bottom - rect.top;
        if (width_ <= 0 || height_ <= 0) return false;

        HDC windowDc = GetWindowDC(window_);
        if (!windowDc) return false;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        section_ = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        memoryDc_ = CreateCompatibleDC(windowDc);
        bool copied = false;
        if (section_ && bits_ && memoryDc_) {
            previous_ = SelectObject(memoryDc_, section_);
            copied = BitBlt(memoryDc_, 0, 0, width_, height_, windowDc, 0, 0, SRCCOPY) != FALSE;
            GdiFlush();
        }
        ReleaseDC(window_, windowDc);
        return copied;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    BYTE* Bits() const { return static_cast<BYTE*>(bits_); }

private:
    HWND window_;
    HBITMAP section_ = nullptr;
    HDC memoryDc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace

bool SaveWindowImage(HWND window, const std::wstring& path, std::wstring* output)
{
    if (output) output->clear();
    WindowCapture capture(window);
    if (!capture.Take()) {
        Log().Write("Cannot capture the window");
        return false;
    }
    GdiplusSession session;
    if (!session.IsStarted()) return false;
    std::wstring saved;
    HRESULT hr;
    {
        Gdiplus::Bitmap picture(capture.Width(), capture.Height(), capture.Width() * 4, PixelFormat32bppRGB,
                                capture.Bits());
        if (picture.GetLastStatus() != Gdiplus::Ok) return false;
        hr = SaveBitmap(picture, path, GUID_NULL, nullptr, saved);
    }
    if (FAILED(hr)) return false;
    if (output) *output = saved;
    return true;
}
