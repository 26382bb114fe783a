// Page pictures for the right-click commands (see the header).
#include "browser/PagePictures.h"

#include <wrl/client.h>

#include <cwchar>
#include <cwctype>

#include "common/HostCheck.h"
#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "common/Variant.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ImageConverter.h"
#include "engine/ImageSize.h"
#include "engine/TemporaryFiles.h"
#include "engine/UploadItem.h"

using Microsoft::WRL::ComPtr;

namespace {

const size_t kMaxCopyName = 40;
// Room after a reserved base: "_ffffffff_99999" is inside the base; the
// resizer appends ".original.png" and the save an extension.
const size_t kSuffixRoom = 20;
const int kMaxCopyAttempts = 1000;

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// One pass of %XX decoding: a decoded character is never read again.
std::wstring DecodeOnce(const std::wstring& text)
{
    std::wstring decoded;
    decoded.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        wchar_t c = text[at];
        if (c == L'%' && at + 2 < text.size() && HexDigit(text[at + 1]) >= 0 && HexDigit(text[at + 2]) >= 0) {
            c = static_cast<wchar_t>(HexDigit(text[at + 1]) * 16 + HexDigit(text[at + 2]));
            at += 2;
        }
        decoded += c;
    }
    return decoded;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

// A local drive path a page may name: "X:\" and then no network, device or
// control parts.
bool IsPlainDrivePath(const std::wstring& path)
{
    if (path.size() < 4 || !iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\') return false;
    if (path.find(L"\\\\") != std::wstring::npos) return false;
    for (wchar_t c : path)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

}  // namespace

PictureRoute ChoosePictureRoute(const std::wstring& pageUrl, const std::wstring& pictureUrl, std::wstring& localUrl)
{
    localUrl.clear();
    if (pictureUrl.empty() || pictureUrl.find(L'\0') != std::wstring::npos) return PictureRoute::Refused;
    if (StartsWithNoCase(pictureUrl, L"file:")) {
        if (!StartsWithNoCase(pageUrl, L"file:") || !StartsWithFileUrl(pictureUrl)) return PictureRoute::Refused;
        // Decoded once, like the upload decodes it; a second "%" level stays text.
        const std::wstring path = FileUrlToPath(pictureUrl);
        if (!IsPlainDrivePath(path) ||
            CFileUploadStrategy::IsRejectedPath(path, CFileUploadStrategy::FileTypeMode::Normal))
            return PictureRoute::Refused;
        localUrl = PathToFileUrl(path);
        return PictureRoute::LocalFile;
    }
    if (!IsWebAddress(pictureUrl)) return PictureRoute::Refused;
    // The service's hosts, and the development server the toolbar is pointed at.
    const bool onService =
        IsServiceUrl(pictureUrl, ServiceScope::AnyHost) || IsServiceUrl(pictureUrl, ServiceScope::Pages);
    return onService ? PictureRoute::Service : PictureRoute::Copy;
}

std::wstring CopyNameFromUrl(const std::wstring& url)
{
    const std::wstring decoded = DecodeOnce(url);
    size_t cut = decoded.rfind(L'/');
    if (cut == std::wstring::npos) cut = decoded.rfind(L'\\');
    std::wstring segment = cut == std::wstring::npos ? std::wstring() : decoded.substr(cut + 1);
    const size_t dot = segment.rfind(L'.');
    if (dot != std::wstring::npos) segment.erase(dot);
    std::wstring name;
    for (wchar_t c : segment) {
        if (name.size() >= kMaxCopyName) break;
        const bool safe = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        name += safe ? c : L'_';
    }
    return name.find_first_not_of(L'_') == std::wstring::npos ? L"img" : name;
}

std::wstring ReserveCopyBase(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty()) return std::wstring();
    wchar_t tick[16] = {};
    swprintf(tick, 16, L"_%lx", static_cast<unsigned long>(GetTickCount()));
    const std::wstring stem = folder + L"\\" + name + tick;
    for (int n = 0; n < kMaxCopyAttempts; ++n) {
        const std::wstring base = stem + L"_" + std::to_wstring(n);
        if (base.size() + kSuffixRoom >= MAX_PATH) return std::wstring();
        HANDLE file = CreateFileW(base.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return base;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
    }
    return std::wstring();
}

namespace {

// Runs "Copy" on a control range that holds only picture.
bool CopyToClipboard(IHTMLDocument2* document, IHTMLElement* picture)
{
    ComPtr<IHTMLElement> body;
    ComPtr<IHTMLElement2> bodyElement;
    ComPtr<IDispatch> rangeObject;
    ComPtr<IHTMLControlRange> range;
    ComPtr<IHTMLControlElement> control;
    if (FAILED(document->get_body(&body)) || !body || FAILED(body.As(&bodyElement)) ||
        FAILED(bodyElement->createControlRange(&rangeObject)) || !rangeObject || FAILED(rangeObject.As(&range)) ||
        FAILED(picture->QueryInterface(IID_PPV_ARGS(&control))) || FAILED(range->add(control.Get())))
        return false;
    BSTR command = SysAllocString(L"Copy");
    if (!command) return false;
    Variant none;
    VARIANT_BOOL done = VARIANT_FALSE;
    const HRESULT hr = range->execCommand(command, VARIANT_FALSE, *none.Get(), &done);
    SysFreeString(command);
    return SUCCEEDED(hr);
}

// A private copy of the clipboard's bitmap, or null.
HBITMAP TakeClipboardBitmap()
{
    if (!OpenClipboard(GetActiveWindow())) return nullptr;
    HBITMAP copy = nullptr;
    if (IsClipboardFormatAvailable(CF_BITMAP)) {
        HANDLE shared = GetClipboardData(CF_BITMAP);
        if (shared) copy = static_cast<HBITMAP>(CopyImage(shared, IMAGE_BITMAP, 0, 0, 0));
    }
    CloseClipboard();
    return copy;
}

bool SaveCopy(HBITMAP bitmap, const std::wstring& url, const std::wstring& sizeText, PictureCopy& result)
{
    const std::wstring base = ReserveCopyBase(UserTempFolder(), CopyNameFromUrl(url));
    if (base.empty()) return false;
    std::wstring output;
    int width = 0, height = 0;
    if (ParseSizeText(sizeText, width, height) && width > 0 && height > 0 &&
        ResizeBitmapToFile(bitmap, width, height, base, GUID_NULL, output) == kResizeWritten) {
        result.resized = true;
    } else if (FAILED(SaveBitmap(bitmap, base, GUID_NULL, output))) {
        output.clear();
    }
    DeleteFileW(base.c_str());
    if (output.empty()) return false;
    AdoptTemporaryFile(output);
    result.fileUrl = PathToFileUrl(output);
    return true;
}

}  // namespace

void ShownPictureSize(IHTMLElement* picture, int& width, int& height)
{
    width = height = 0;
    ComPtr<IHTMLImgElement> image;
    VARIANT_BOOL complete = VARIANT_FALSE;
    if (!picture || FAILED(picture->QueryInterface(IID_PPV_ARGS(&image))) || FAILED(image->get_complete(&complete)) ||
        complete == VARIANT_FALSE)
        return;
    long shownWidth = 0, shownHeight = 0;
    if (FAILED(image->get_width(&shownWidth)) || FAILED(image->get_height(&shownHeight)) || shownWidth <= 0 ||
        shownHeight <= 0)
        return;
    width = static_cast<int>(shownWidth);
    height = static_cast<int>(shownHeight);
}

PictureCopy CopyPagePicture(IHTMLDocument2* document, IHTMLElement* picture, const std::wstring& sizeText)
{
    PictureCopy result;
    if (!document || !picture) return result;
    LogWriter log("CImageContextMenu");
    ComPtr<IHTMLImgElement> image;
    BSTR source = nullptr;
    if (FAILED(picture->QueryInterface(IID_PPV_ARGS(&image))) || FAILED(image->get_src(&source))) return result;
    const std::wstring url = source ? std::wstring(source, SysStringLen(source)) : std::wstring();
    SysFreeString(source);
    log.Write("Creating file for: ", url.c_str());
    VARIANT_BOOL complete = VARIANT_FALSE;
    if (FAILED(image->get_complete(&complete)) || complete == VARIANT_FALSE) {
        log.Write("Image is not complete. URL will be used to transload: ", url.c_str());
        return result;
    }
    // Only a bitmap that this Copy put there is the picture; an unchanged
    // clipboard still holds whatever the user copied before.
    const DWORD before = GetClipboardSequenceNumber();
    if (!CopyToClipboard(document, picture) || GetClipboardSequenceNumber() == before) return result;
    HBITMAP bitmap = TakeClipboardBitmap();
    if (!bitmap) return result;
    if (!SaveCopy(bitmap, url, sizeText, result))
        log.Write("Local copy failed. URL will be used to transload: ", url.c_str());
    DeleteObject(bitmap);
    return result;
}
