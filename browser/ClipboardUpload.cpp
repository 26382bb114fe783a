// Upload from the clipboard (see the header). Reading copies bounded bytes out
// under the clipboard's lock and checks picture headers against the size of
// the memory that holds them; everything slow (decoding, saving, uploading)
// happens after the clipboard is closed.
#include "browser/ClipboardUpload.h"

#include <shellapi.h>

#include <cwctype>

#include "common/LogWriter.h"
#include "common/TextConvert.h"
#include "common/UrlParts.h"
#include "common/Variant.h"
#include "common/VariantArray.h"
#include "engine/FileUploadStrategy.h"
#include "engine/ProgressText.h"
#include "engine/TemporaryBasePath.h"
#include "engine/TemporaryFiles.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

LogWriter Log()
{
    return LogWriter("ClipboardUpload");
}

// A file list longer than this is not something a person copied to upload.
constexpr UINT kMaxFiles = 1000;
constexpr UINT kMaxPathLength = 32767;

// Locked clipboard memory: its bytes and how many there are.
class LockedData {
public:
    explicit LockedData(HANDLE data) : data_(data), bytes_(data ? static_cast<const BYTE*>(GlobalLock(data)) : nullptr)
    {
        size_ = bytes_ ? GlobalSize(data_) : 0;
    }
    ~LockedData()
    {
        if (bytes_) GlobalUnlock(data_);
    }
    LockedData(const LockedData&) = delete;
    LockedData& operator=(const LockedData&) = delete;
    const BYTE* Bytes() const { return bytes_; }
    size_t Size() const { return size_; }

private:
    HANDLE data_;
    const BYTE* bytes_;
    size_t size_ = 0;
};

void CopyPicture(UINT format, ClipboardContent& content)
{
    LockedData data(GetClipboardData(format));
    content.picture = content.kind == ClipboardContent::Kind::kPng ? CheckPng(data.Bytes(), data.Size())
                                                                   : CheckDib(data.Bytes(), data.Size());
    if (content.picture.verdict == PictureCheck::kFits)
        content.bytes.assign(data.Bytes(), data.Bytes() + content.picture.bytes);
}

void CopyFiles(ClipboardContent& content)
{
    HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    if (!drop) return;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count && i < kMaxFiles; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0 || length > kMaxPathLength) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, &path[0], length + 1));
        if (!path.empty()) content.files.push_back(std::move(path));
    }
}

void CopyText(ClipboardContent& content)
{
    LockedData data(GetClipboardData(CF_UNICODETEXT));
    const auto* chars = reinterpret_cast<const wchar_t*>(data.Bytes());
    const size_t available = data.Size() / sizeof(wchar_t);
    size_t length = 0;
    while (chars && length < available && length <= ClipboardContent::kMaxText && chars[length]) ++length;
    // Longer than any address: kept as "too long" by holding nothing.
    if (chars && length <= ClipboardContent::kMaxText) content.text.assign(chars, length);
}

// A side as the message shows it (a header's side may exceed any int).
int Clamped(LONGLONG side)
{
    return side > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(side);
}

void Tell(HWND owner, UINT textId, std::initializer_list<TextArg> args = {})
{
    const std::wstring text = FormatText(LoadModuleString(textId), args);
    const std::wstring caption = LoadModuleString(IDS_CLIPBOARD_CAPTION);
    MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

// Hands items to the uploader's entry point with the user's options.
HRESULT Send(const PrepareUploader& prepare, LONG action, const std::vector<std::wstring>& items,
             const ClipboardUploadOptions& options, bool transload)
{
    ComPtr<IInnerFileUploader> inner;
    HRESULT hr = prepare(action, inner);
    if (FAILED(hr)) return hr;
    if (!inner) return E_NOINTERFACE;
    Variant list, size, publicFlag, tags, removeSizeBar;
    PutStringArray(list.Out(), items);
    if (!options.size.empty()) *size.Out() = Variant(options.size.c_str()).Detach();
    publicFlag.PutBool(options.isPublic);
    removeSizeBar.PutBool(options.removeSizeBar);
    const VARIANT& sizeText = *size.Get();
    const VARIANT &permission = *publicFlag.Get(), &none = *tags.Get(), &sizeBar = *removeSizeBar.Get();
    hr = transload ? inner->TransloadUrls(*list.Get(), sizeText, permission, none, sizeBar)
                   : inner->UploadFiles(*list.Get(), sizeText, permission, none, sizeBar);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT SendPicture(HWND owner, const ClipboardContent& content, const ClipboardUploadOptions& options,
                    const PrepareUploader& prepare)
{
    switch (content.picture.verdict) {
    case PictureCheck::kFits: break;
    case PictureCheck::kTooLarge: {
        const int width = Clamped(content.picture.width), height = Clamped(content.picture.height);
        Log().Format("Picture of %dx%d refused", width, height);
        Tell(owner, IDS_CLIPBOARD_TOO_LARGE, {width, height});
        return S_FALSE;
    }
    case PictureCheck::kTooBig: Tell(owner, IDS_CLIPBOARD_TOO_BIG); return S_FALSE;
    case PictureCheck::kDamaged:
        Log().Write("A damaged picture header was refused");
        Tell(owner, IDS_CLIPBOARD_DAMAGED);
        return S_FALSE;
    }
    std::wstring saved;
    const std::wstring base = TemporaryBasePath(L"/clipboard");
    const HRESULT hr = content.kind == ClipboardContent::Kind::kPng ? SavePngAsPng(content.bytes, base, saved)
                                                                    : SaveDibAsPng(content.bytes, base, saved);
    if (FAILED(hr) || saved.empty()) {
        Log().Format("The clipboard's picture was not saved: 0x%x", static_cast<unsigned>(hr));
        Tell(owner, hr == kUndecodable ? IDS_CLIPBOARD_DAMAGED : IDS_CLIPBOARD_NOT_SAVED);
        return S_FALSE;
    }
    // Removed once its upload is over, like a screen capture.
    AdoptTemporaryFile(saved);
    Log().Write("Uploading the clipboard's picture as ", saved.c_str());
    return Send(prepare, asUpload + asFromToolbar, {saved}, options, false);
}

}  // namespace

ClipboardContent ReadClipboard(HWND owner)
{
    ClipboardContent content;
    if (!OpenClipboard(owner)) {
        content.kind = ClipboardContent::Kind::kBusy;
        return content;
    }
    try {
        static const UINT png = RegisterClipboardFormatW(L"PNG");
        if (png && IsClipboardFormatAvailable(png)) {
            content.kind = ClipboardContent::Kind::kPng;
            CopyPicture(png, content);
        } else if (IsClipboardFormatAvailable(CF_DIBV5) || IsClipboardFormatAvailable(CF_DIB)) {
            content.kind = ClipboardContent::Kind::kDib;
            CopyPicture(IsClipboardFormatAvailable(CF_DIBV5) ? CF_DIBV5 : CF_DIB, content);
        } else if (IsClipboardFormatAvailable(CF_BITMAP)) {
            content.kind = ClipboardContent::Kind::kDib;
            content.picture = DibFromBitmap(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)), content.bytes);
        } else if (IsClipboardFormatAvailable(CF_HDROP)) {
            content.kind = ClipboardContent::Kind::kFiles;
            CopyFiles(content);
        } else if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
            content.kind = ClipboardContent::Kind::kText;
            CopyText(content);
        }
    } catch (...) {
        CloseClipboard();
        throw;
    }
    CloseClipboard();
    return content;
}

std::wstring PictureAddressIn(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    const std::wstring address = text.substr(first, last - first);
    // One address: no blanks or control characters inside it.
    for (wchar_t c : address)
        if (std::iswspace(c) || c < 0x20 || c == 0x7F) return std::wstring();
    UrlParts parts;
    if (address.empty() || !ParseUrl(address, parts) || (parts.scheme != L"http" && parts.scheme != L"https"))
        return std::wstring();
    if (CFileUploadStrategy::IsRejectedPath(parts.path, CFileUploadStrategy::FileTypeMode::Normal))
        return std::wstring();
    return address;
}

HRESULT UploadFromClipboard(HWND owner, const ClipboardUploadOptions& options, const PrepareUploader& prepare)
{
    const ClipboardContent content = ReadClipboard(owner);
    switch (content.kind) {
    case ClipboardContent::Kind::kBusy: Tell(owner, IDS_CLIPBOARD_BUSY); return S_FALSE;
    case ClipboardContent::Kind::kPng:
    case ClipboardContent::Kind::kDib: return SendPicture(owner, content, options, prepare);
    case ClipboardContent::Kind::kFiles:
        if (content.files.empty()) break;
        return Send(prepare, asUpload + asFromToolbar, content.files, options, false);
    case ClipboardContent::Kind::kText: {
        const std::wstring address = PictureAddressIn(content.text);
        if (address.empty()) break;
        return Send(prepare, asTransaload + asFromToolbar, {address}, options, true);
    }
    case ClipboardContent::Kind::kNothing: break;
    }
    Log().Write("The clipboard holds nothing to upload");
    Tell(owner, IDS_CLIPBOARD_NOTHING);
    return S_FALSE;
}
