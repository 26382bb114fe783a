// The sample files (see the header). Pictures are drawn with the platform
// imaging library; the EXIF block and the AVI container are written by hand.
#include "tools/driver/Samples.h"

#include <windows.h>

#include <gdiplus.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/TextConvert.h"
#include "engine/GdiplusSession.h"

namespace {

using Bytes = std::string;

void Put16(Bytes& out, unsigned value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void Put32(Bytes& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

bool WriteBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool ReadBytes(const std::wstring& path, Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 16 * 1024 * 1024;
    if (ok) {
        bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool EncoderFor(const wchar_t* mime, CLSID& clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (lstrcmpW(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// A sky over hills with a sun (a few shapes, so the encoders have something to do).
bool DrawLandscape(const std::wstring& path, int width, int height, const wchar_t* mime, Gdiplus::Color sky)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    Gdiplus::Graphics graphics(&bitmap);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::LinearGradientBrush skyBrush(Gdiplus::Point(0, 0), Gdiplus::Point(0, height), sky,
                                          Gdiplus::Color(255, 250, 220, 160));
    graphics.FillRectangle(&skyBrush, 0, 0, width, height);
    Gdiplus::SolidBrush sun(Gdiplus::Color(255, 255, 200, 40));
    graphics.FillEllipse(&sun, width * 6 / 10, height / 8, width / 6, width / 6);
    Gdiplus::SolidBrush hill(Gdiplus::Color(255, 40, 120, 60));
    graphics.FillEllipse(&hill, -width / 4, height * 6 / 10, width, height);
    Gdiplus::SolidBrush hill2(Gdiplus::Color(255, 30, 90, 50));
    graphics.FillEllipse(&hill2, width / 3, height * 7 / 10, width, height);
    CLSID encoder;
    return EncoderFor(mime, encoder) && bitmap.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}

// An EXIF block (APP1) with camera make, model and date, inserted after the
// JPEG start marker.
bool AddExif(const std::wstring& path)
{
    Bytes jpeg;
    if (!ReadBytes(path, jpeg) || jpeg.size() < 4 || jpeg.compare(0, 2, "\xFF\xD8") != 0) return false;
    struct Entry {
        unsigned tag;
        Bytes text;
    };
    const Entry entries[] = {
        {0x010F, Bytes("Vellumpost Samples", 19)},
        {0x0110, Bytes("Driver Camera 1", 16)},
        {0x0132, Bytes("2026:01:15 12:00:00", 20)},
    };
    const uint32_t count = sizeof(entries) / sizeof(entries[0]);
    Bytes tiff("II*\0", 4);
    Put32(tiff, 8);
    Put16(tiff, count);
    uint32_t dataOffset = 8 + 2 + count * 12 + 4;
    Bytes data;
    for (const Entry& entry : entries) {
        Put16(tiff, entry.tag);
        Put16(tiff, 2);  // ASCII
        Put32(tiff, static_cast<uint32_t>(entry.text.size()));
        Put32(tiff, dataOffset + static_cast<uint32_t>(data.size()));
        data += entry.text;
    }
    Put32(tiff, 0);  // no next IFD
    tiff += data;
    Bytes segment("\xFF\xE1\0\0Exif\0\0", 10);
    segment += tiff;
    const size_t length = segment.size() - 2;
    segment[2] = char((length >> 8) & 0xFF);
    segment[3] = char(length & 0xFF);
    jpeg.insert(2, segment);
    return WriteBytes(path, jpeg);
}

// A clip of frames of uncompressed 24-bit pixels in a RIFF AVI container.
bool WriteClip(const std::wstring& path)
{
    const uint32_t width = 16, height = 12, frames = 12, frameBytes = width * height * 3;
    auto chunk = [](const char* id, const Bytes& body) {
        Bytes out(id, 4);
        Put32(out, static_cast<uint32_t>(body.size()));
        out += body;
        if (body.size() % 2) out += '\0';
        return out;
    };
    auto list = [&](const char* type, const Bytes& body) {
        Bytes inner(type, 4);
        return chunk("LIST", inner + body);
    };
    Bytes avih;
    for (uint32_t v : {100000u, frameBytes * 10, 0u, 0x10u, frames, 0u, 1u, frameBytes, width, height, 0u, 0u, 0u, 0u})
        Put32(avih, v);
    Bytes strh("vidsDIB ", 8);
    for (uint32_t v : {0u, 0u, 0u, 1u, 10u, 0u, frames, frameBytes, 0xFFFFFFFFu, 0u}) Put32(strh, v);
    Put16(strh, 0), Put16(strh, 0), Put16(strh, width), Put16(strh, height);
    Bytes strf;
    for (uint32_t v : {40u, width, height}) Put32(strf, v);
    Put16(strf, 1), Put16(strf, 24);
    for (uint32_t v : {0u, frameBytes, 0u, 0u, 0u, 0u}) Put32(strf, v);
    Bytes hdrl = chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf));
    Bytes movi, index;
    uint32_t offset = 4;
    for (uint32_t f = 0; f < frames; ++f) {
        Bytes pixels;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                pixels += char((x * 16 + f * 20) & 0xFF);
                pixels += char((y * 20) & 0xFF);
                pixels += char((f * 21) & 0xFF);
            }
        index += Bytes("00db", 4);
        Put32(index, 0x10), Put32(index, offset), Put32(index, frameBytes);
        Bytes frame = chunk("00db", pixels);
        offset += static_cast<uint32_t>(frame.size());
        movi += frame;
    }
    Bytes body("AVI ", 4);
    body += list("hdrl", hdrl) + list("movi", movi) + chunk("idx1", index);
    return WriteBytes(path, chunk("RIFF", body));
}

}  // namespace

int MakeSamples(const std::wstring& folder)
{
    GdiplusSession gdiplus;
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring base = folder + L"\\";
    int failed = 0;
    auto report = [&](const wchar_t* name, bool ok) {
        std::printf("  %-28s %s\n", Narrow(name).c_str(), ok ? "written" : "FAILED");
        if (!ok) ++failed;
    };
    std::printf("Sample files in %s:\n", Narrow(folder).c_str());
    const std::wstring sunrise = base + L"sunrise.jpg";
    report(L"sunrise.jpg", DrawLandscape(sunrise, 640, 480, L"image/jpeg", Gdiplus::Color(255, 70, 120, 200)) &&
                               AddExif(sunrise));
    report(L"hills.png", DrawLandscape(base + L"hills.png", 320, 240, L"image/png", Gdiplus::Color(255, 20, 40, 110)));
    report(L"clip.avi", WriteClip(base + L"clip.avi"));
    return failed == 0 ? 0 : 1;
}
