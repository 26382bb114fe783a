// The right-click menus (see the header): uploader preparation and options,
// the Explorer menu and its forwarded commands.
#include "browser/ImageContextMenu.h"

#include <shellapi.h>
#include <strsafe.h>

#include <algorithm>
#include <atomic>
#include <optional>

#include "browser/ContextMenuDialogs.h"
#include "browser/PagePictures.h"
#include "browser/StockBar.h"
#include "common/Bstr.h"
#include "common/HResult.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/VariantArray.h"
#include "dialogs/SizeLists.h"
#include "engine/FileUploadStrategy.h"
#include "engine/TemporaryFiles.h"
#include "engine/UploadItem.h"
#include "engine/UploadStrategy.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

// Statistics codes: the source (browser 32, Explorer 48) plus the operation.
const int kActionExplorerUpload = asFromExplorer + asUpload;
const int kActionExplorerBlog = asFromExplorer + asPostToBlog;
const int kActionExplorerTag = asFromExplorer + asTagImage;

// Pictures of one page looked at for "Upload All Images".
const long kMaxPagePictures = 1000;

// A string verb longer than this is not one of ours; it is never read further.
const size_t kMaxVerbLength = 1024;

HRESULT CreateRegisteredUploader(IFileUploader** uploader)
{
    return CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_ALL, IID_PPV_ARGS(uploader));
}

std::atomic<CImageContextMenu::UploaderFactory> g_uploaderFactory{&CreateRegisteredUploader};

// The upload options of a command.
struct MenuOptions {
    bool resize = false;
    std::wstring sizeText;  // empty when resizing is off
    bool isPublic = true;
    bool removeSizeBar = true;
};

MenuOptions OptionsFromSettings()
{
    SettingsStore settings;
    MenuOptions options;
    options.resize = settings.Resize();
    if (options.resize) options.sizeText = ListText(PictureSizeTexts(), PictureIndexForResizeTo(settings.ResizeTo()));
    options.isPublic = settings.Public();
    options.removeSizeBar = settings.RemoveSizeBar();
    return options;
}

// The toolbar's options when there is a usable bar, else the settings'.
MenuOptions ReadOptions(IStockBar* bar)
{
    if (!bar) return OptionsFromSettings();
    BOOL resize = FALSE, isPublic = TRUE;
    Bstr format;
    Variant removeSizeBar;
    if (FAILED(bar->GetOptions(&resize, format.Out(), &isPublic, removeSizeBar.Out()))) return OptionsFromSettings();
    MenuOptions options;
    options.resize = resize != FALSE;
    if (options.resize) options.sizeText = format.Text();
    options.isPublic = isPublic != FALSE;
    Variant flag;
    options.removeSizeBar = SUCCEEDED(VariantChangeType(flag.Get(), removeSizeBar.Get(), 0, VT_BOOL))
                                ? V_BOOL(flag.Get()) != VARIANT_FALSE
                                : SettingsStore().RemoveSizeBar();
    return options;
}

// VT_ARRAY | VT_BSTR of texts; false when out of memory.
bool PutStrings(Variant& out, const std::vector<std::wstring>& texts)
{
    try {
        PutStringArray(out.Out(), texts);
        return true;
    } catch (const std::bad_alloc&) {
        out.Clear();
        return false;
    }
}

// The "file:///" addresses of the paths that the upload's file-type test
// accepts (tag and blog lists get no question about the others: they are left out).
std::vector<std::wstring> AcceptedFileAddresses(const std::vector<std::wstring>& paths)
{
    std::vector<std::wstring> accepted;
    for (const auto& path : paths) {
        std::wstring address = PathToFileUrl(path);
        if (!CFileUploadStrategy::IsRejectedPath(address, CFileUploadStrategy::FileTypeMode::Normal))
            accepted.push_back(std::move(address));
    }
    return accepted;
}

// Copies text into buffer of size characters, cut and always terminated.
template <typename Char>
HRESULT CopyCut(const std::basic_string<Char>& text, Char* buffer, UINT size)
{
    const size_t fits = std::min<size_t>(text.size(), size - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(fits), buffer);
    buffer[fits] = Char();
    return fits < text.size() ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

// A string verb, read at most kMaxVerbLength characters far.
template <typename Char>
bool ReadVerb(const Char* verb, std::basic_string<Char>& text)
{
    for (size_t at = 0; at <= kMaxVerbLength; ++at) {
        if (verb[at] == Char()) return true;
        text.push_back(verb[at]);
    }
    return false;
}

bool IsBlankOnly(const std::wstring& text)
{
    return text.find_first_not_of(L" \t\r\n") == std::wstring::npos;
}

}  // namespace

// The uploader of one command with its interfaces.
struct CImageContextMenu::Prepared {
    ComPtr<IFileUploader> uploader;
    ComPtr<IInnerFileUploader> inner;
    ComPtr<IStockBar> bar;
    MenuOptions options;
};

void CImageContextMenu::SetUploaderFactory(UploaderFactory factory)
{
    g_uploaderFactory = factory ? factory : &CreateRegisteredUploader;
}

CImageContextMenu::CImageContextMenu() : log_("CImageContextMenu")
{
    log_.Format("ImageContextMenu has been created %s", LogAddress(this).c_str());
}

CImageContextMenu::~CImageContextMenu() = default;

HRESULT CImageContextMenu::PrepareUploader(Prepared& prepared, int action, bool withToolbar)
{
    HRESULT hr = g_uploaderFactory.load()(prepared.uploader.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !prepared.uploader) {
        log_.Write("Cannot create uploader");
        return E_FAIL;
    }
    // The bar lives on a browser thread: only a reference for this thread's
    // apartment is ever called.
    if (withToolbar) prepared.bar = CStockBar::ActiveBarForThisThread();
    if (prepared.bar) RETURN_IF_FAILED(prepared.uploader->put_toolbar(prepared.bar.Get()));

    ComPtr<IUnknown> window;
    hr = InstalledFileUploaderDialogs().resultWindow(window);
    if (SUCCEEDED(hr) && window) {
        RETURN_IF_FAILED(prepared.uploader->put_destination(window.Get()));
    } else {
        log_.Format("No browser window for the results (0x%x)", static_cast<unsigned>(hr));
    }
    RETURN_IF_FAILED(prepared.uploader->put_Action(static_cast<ActionStatisticsEnum>(action)));
    if (FAILED(prepared.uploader.As(&prepared.inner)) || !prepared.inner) return E_NOINTERFACE;
    prepared.options = ReadOptions(prepared.bar.Get());
    return S_OK;
}

HRESULT CImageContextMenu::RunFileCommand(LONG command, const std::vector<std::wstring>& paths, POINT at,
                                          HWND callerWindow, IDispatch* caller, bool withToolbar)
{
    std::vector<std::wstring> items;
    std::wstring tags;
    int action = 0;
    switch (command) {
    case kUpload:
        log_.Write("Invoke command HOST");
        items = paths;
        action = kActionExplorerUpload;
        break;
    case kTag: {
        log_.Write("Invoke command TAG");
        ContextMenuDialogs dialogs = InstalledContextMenuDialogs();
        if (!SettingsStore().Logged()) {
            dialogs.login(GetActiveWindow(), at);
            return S_OK;
        }
        items = AcceptedFileAddresses(paths);
        if (items.empty()) {
            log_.Write("No file of a supported type to tag");
            return S_OK;
        }
        const HRESULT asked = dialogs.tag(GetActiveWindow(), at, items, tags);
        if (asked != S_OK) {
            log_.Format("Tags not given (0x%x): nothing is tagged", static_cast<unsigned>(asked));
            return S_OK;
        }
        if (IsBlankOnly(tags)) return S_OK;
        action = kActionExplorerTag;
        break;
    }
    case kPostToBlog:
        log_.Write("Invoke command POST TO BLOG");
        items = AcceptedFileAddresses(paths);
        if (items.empty()) {
            log_.Write("No file of a supported type to post");
            return S_OK;
        }
        action = kActionExplorerBlog;
        break;
    default:
        log_.Write("Invoke command with wrong ID");
        return E_FAIL;
    }

    Prepared prepared;
    RETURN_IF_FAILED(PrepareUploader(prepared, action, withToolbar));
    if (callerWindow)
        RETURN_IF_FAILED(prepared.uploader->put_CallerHWND(
            static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(callerWindow))));
    if (caller) RETURN_IF_FAILED(prepared.uploader->put_caller(caller));

    Variant list, optsize(prepared.options.sizeText.c_str()), isPublic, removeSizeBar, tagText;
    if (!PutStrings(list, items)) return E_OUTOFMEMORY;
    isPublic.PutBool(prepared.options.isPublic);
    removeSizeBar.PutBool(prepared.options.removeSizeBar);
    if (command == kTag) {
        Variant text(tags.c_str());
        *tagText.Out() = text.Detach();
        return prepared.inner->UploadQueue(*list.Get(), *tagText.Get(), *isPublic.Get(), *optsize.Get(),
                                           *removeSizeBar.Get());
    }
    if (command == kPostToBlog)
        return prepared.inner->PostToBlog(*list.Get(), *optsize.Get(), *isPublic.Get(), *tagText.Get(),
                                          *removeSizeBar.Get());
    return prepared.inner->UploadFiles(*list.Get(), *optsize.Get(), *isPublic.Get(), *tagText.Get(),
                                       *removeSizeBar.Get());
}

// --- Explorer ------------------------------------------------------------------------------

HRESULT CImageContextMenu::ReadDroppedFiles(std::vector<std::wstring>& paths) const
{
    paths.clear();
    if (!data_) return E_FAIL;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(data_->GetData(&format, &medium))) return E_FAIL;
    HRESULT hr = E_FAIL;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
        if (drop) {
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                // Names of any length: the length is asked first.
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                if (length == 0) continue;
                std::wstring path(length + 1, L'\0');
                const UINT copied = DragQueryFileW(drop, i, &path[0], length + 1);
                path.resize(copied);
                if (!path.empty()) paths.push_back(std::move(path));
            }
            GlobalUnlock(medium.hGlobal);
            hr = paths.empty() ? E_FAIL : S_OK;
        }
    }
    ReleaseStgMedium(&medium);
    return hr;
}

void CImageContextMenu::RememberExplorerWindow()
{
    explorerWindow_ = nullptr;
    HWND active = GetActiveWindow();
    if (!active) {
        log_.Write("Cannot get active window");
        return;
    }
    wchar_t name[256] = {};
    if (GetClassNameW(active, name, 256) == 0) {
        log_.Format("Cannot get class of active window %s", LogAddress(active).c_str());
        return;
    }
    log_.Write("Active window: ", name);
    if (lstrcmpiW(name, L"CabinetWClass") == 0) explorerWindow_ = active;
}

STDMETHODIMP CImageContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY)
try {
    data_ = data;
    uploadText_.clear();
    tagText_.clear();
    blogText_.clear();
    std::vector<std::wstring> paths;
    if (FAILED(ReadDroppedFiles(paths))) return E_FAIL;
    const bool one = paths.size() == 1;
    uploadText_ = LoadModuleString(one ? IDS_MENU_UPLOAD_FILE : IDS_MENU_UPLOAD_FILES);
    tagText_ = LoadModuleString(one ? IDS_MENU_TAG_FILE : IDS_MENU_TAG_FILES);
    if (one) blogText_ = LoadModuleString(IDS_MENU_POST_TO_BLOG);
    GetCursorPos(&cursor_);
    RememberExplorerWindow();
    return S_OK;
}
COM_CATCH_RETURN(log_, "Initialize")

STDMETHODIMP CImageContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags)
try {
    log_.Write("QueryContextMenu");
    if ((flags & CMF_DEFAULTONLY) || uploadText_.empty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    const std::wstring* texts[] = {&uploadText_, &tagText_, &blogText_};
    UINT added = 0;
    for (const std::wstring* text : texts) {
        if (text->empty() || firstId + added > lastId) break;
        if (!InsertMenuW(menu, index + added, MF_BYPOSITION | MF_STRING, firstId + added, text->c_str())) break;
        ++added;
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, added);
}
COM_CATCH_RETURN(log_, "QueryContextMenu")

const std::wstring& CImageContextMenu::ItemText(UINT_PTR offset) const
{
    static const std::wstring none;
    switch (offset) {
    case kUpload: return uploadText_;
    case kTag: return tagText_;
    case kPostToBlog: return blogText_;
    default: return none;
    }
}

STDMETHODIMP CImageContextMenu::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT size)
try {
    const std::wstring& text = ItemText(offset);
    if (text.empty()) return E_INVALIDARG;
    if (type != GCS_VERBA && type != GCS_HELPTEXTA && type != GCS_VERBW && type != GCS_HELPTEXTW) return S_OK;
    // The size is a count the shell computed: zero, or a negative number
    // passed as unsigned, leaves no room for the terminator.
    if (!buffer || static_cast<int>(size) <= 0) return E_INVALIDARG;
    if (type == GCS_VERBW || type == GCS_HELPTEXTW) return CopyCut(text, reinterpret_cast<wchar_t*>(buffer), size);
    return CopyCut(Narrow(text), buffer, size);
}
COM_CATCH_RETURN(log_, "GetCommandString")

LONG CImageContextMenu::CommandOfVerb(const CMINVOKECOMMANDINFO& info) const
{
    if (IS_INTRESOURCE(info.lpVerb)) return LOWORD(reinterpret_cast<UINT_PTR>(info.lpVerb));
    // A string verb names one of the menu's own entries, or nothing.
    const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
    const bool unicode = info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info.fMask & CMIC_MASK_UNICODE) &&
                         extended.lpVerbW && !IS_INTRESOURCE(extended.lpVerbW);
    std::wstring verb;
    if (unicode) {
        if (!ReadVerb(extended.lpVerbW, verb)) return -1;
    } else {
        std::string narrow;
        if (!ReadVerb(info.lpVerb, narrow)) return -1;
        verb = Widen(narrow);
    }
    for (LONG command : {kUpload, kTag, kPostToBlog}) {
        const std::wstring& text = ItemText(static_cast<UINT_PTR>(command));
        if (!text.empty() && lstrcmpiW(verb.c_str(), text.c_str()) == 0) return command;
    }
    return -1;
}

STDMETHODIMP CImageContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info)
try {
    log_.Write("InvokeCommand");
    if (!info || info->cbSize < sizeof(CMINVOKECOMMANDINFO)) return E_INVALIDARG;
    if (!data_) {
        log_.Write("Files is empty");
        return E_FAIL;
    }
    std::vector<std::wstring> paths;
    if (FAILED(ReadDroppedFiles(paths))) return E_FAIL;
    const LONG command = CommandOfVerb(*info);
    return RunFileCommand(command, paths, cursor_, explorerWindow_, nullptr, true);
}
COM_CATCH_RETURN(log_, "InvokeCommand")

STDMETHODIMP CImageContextMenu::Execute(LONG command, VARIANT files, LONG x, LONG y, IDispatch* caller)
try {
    if (command != kUpload && command != kTag && command != kPostToBlog) {
        log_.Write("Invoke command with wrong ID");
        return E_FAIL;
    }
    std::vector<std::optional<std::wstring>> texts;
    bool single = false;
    if (!VariantTexts(files, texts, single)) return E_INVALIDARG;
    std::vector<std::wstring> paths;
    for (const auto& text : texts) {
        // Embedded NULs would cut the name the strategy opens.
        if (!text || text->empty() || text->find(L'\0') != std::wstring::npos) return E_INVALIDARG;
        // The other process sends "file:///" addresses for tags and blog posts.
        paths.push_back(command == kUpload ? *text : FileUrlToPath(*text));
        if (paths.back().empty()) return E_INVALIDARG;
    }
    if (paths.empty()) return E_INVALIDARG;
    // No active bar in a forwarding process: the settings give the options.
    return RunFileCommand(command, paths, POINT{x, y}, nullptr, caller, false);
}
COM_CATCH_RETURN(log_, "Execute")

// --- browser -------------------------------------------------------------------------------

namespace {

// The picture the user right-clicked, the page it is on and where the click was.
struct ClickedPicture {
    ComPtr<IHTMLDocument2> document;
    ComPtr<IHTMLElement> element;
    std::wstring url;
    std::wstring pageUrl;
    POINT at = {};
};

std::wstring TakeText(BSTR text)
{
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

std::wstring PictureSource(IHTMLElement* element)
{
    ComPtr<IHTMLImgElement> image;
    BSTR source = nullptr;
    if (!element || FAILED(element->QueryInterface(IID_PPV_ARGS(&image))) || FAILED(image->get_src(&source)))
        return std::wstring();
    return TakeText(source);
}

ComPtr<IHTMLDocument2> WindowDocument(IDispatch* window)
{
    ComPtr<IHTMLWindow2> page;
    ComPtr<IHTMLDocument2> document;
    if (!window || FAILED(window->QueryInterface(IID_PPV_ARGS(&page))) || FAILED(page->get_document(&document)))
        document.Reset();
    return document;
}

std::wstring DocumentUrl(IHTMLDocument2* document)
{
    BSTR url = nullptr;
    return document && SUCCEEDED(document->get_URL(&url)) ? TakeText(url) : std::wstring();
}

// False when the window has no current event on a picture with an address.
bool ReadClickedPicture(IDispatch* window, ClickedPicture& picture)
{
    ComPtr<IHTMLWindow2> page;
    ComPtr<IHTMLEventObj> event;
    if (!window || FAILED(window->QueryInterface(IID_PPV_ARGS(&page))) || FAILED(page->get_event(&event)) || !event ||
        FAILED(event->get_srcElement(&picture.element)) || !picture.element)
        return false;
    picture.url = PictureSource(picture.element.Get());
    if (picture.url.empty()) return false;
    long x = 0, y = 0;
    if (SUCCEEDED(event->get_screenX(&x)) && SUCCEEDED(event->get_screenY(&y))) picture.at = POINT{x, y};
    picture.document = WindowDocument(window);
    picture.pageUrl = DocumentUrl(picture.document.Get());
    return true;
}

void RemoveCopies(const std::vector<std::wstring>& copies)
{
    for (const auto& copy : copies) RemoveTemporaryFile(copy);
}

}  // namespace

// The address a page picture is sent by: the service's own or the user's
// file as it is, a local copy of a web picture when copy is allowed and one
// can be made, else the web address. Empty when the picture is refused.
std::wstring CImageContextMenu::PictureItem(const std::wstring& pageUrl, const std::wstring& url,
                                            IHTMLDocument2* document, IHTMLElement* element, bool copy,
                                            const std::wstring& resizeTo, LocalCopies& copies)
{
    std::wstring localUrl;
    switch (ChoosePictureRoute(pageUrl, url, localUrl)) {
    case PictureRoute::Refused:
        log_.Write("Picture address refused: ", url.c_str());
        return std::wstring();
    case PictureRoute::Service: return url;
    case PictureRoute::LocalFile: return localUrl;
    case PictureRoute::Copy: break;
    }
    std::wstring item = url;
    // The copy goes through the clipboard: only when what the user holds
    // there can be put back afterwards.
    if (copy && copies.clipboard.Save()) {
        const PictureCopy made = CopyPagePicture(document, element, resizeTo);
        if (!made.fileUrl.empty()) {
            item = made.fileUrl;
            copies.files.push_back(made.fileUrl);
            copies.resized = copies.resized || made.resized;
        }
    }
    log_.Write("URL will be used to transload: ", item.c_str());
    return item;
}

HRESULT CImageContextMenu::RunPictureCommand(IDispatch* window, PictureCommand command, const char* name) noexcept
try {
    ClickedPicture picture;
    if (!ReadClickedPicture(window, picture)) return S_OK;
    std::wstring probe;
    if (ChoosePictureRoute(picture.pageUrl, picture.url, probe) == PictureRoute::Refused) {
        log_.Write("Picture address refused: ", picture.url.c_str());
        return S_OK;
    }

    std::wstring tags;
    if (command == PictureCommand::Tag) {
        ContextMenuDialogs dialogs = InstalledContextMenuDialogs();
        if (!SettingsStore().Logged()) {
            dialogs.login(GetActiveWindow(), picture.at);
            return S_OK;
        }
        const HRESULT asked = dialogs.tag(GetActiveWindow(), picture.at, {picture.url}, tags);
        if (asked != S_OK || IsBlankOnly(tags)) {
            log_.Format("Tags not given (0x%x): nothing is tagged", static_cast<unsigned>(asked));
            return S_OK;
        }
    }

    static const int kActions[] = {asFromBrowser + asUpload, asFromBrowser + asTransaload,
                                   asFromBrowser + asPostToBlog, asFromBrowser + asTagImage};
    Prepared prepared;
    RETURN_IF_FAILED(PrepareUploader(prepared, kActions[static_cast<int>(command)], true));
    LocalCopies copies;
    const std::wstring resizeTo = prepared.options.resize ? prepared.options.sizeText : std::wstring();
    const std::wstring item = PictureItem(picture.pageUrl, picture.url, picture.document.Get(),
                                          picture.element.Get(), command != PictureCommand::Transload, resizeTo,
                                          copies);
    copies.clipboard.Restore();
    // A copy saved at the wanted size is not resized again.
    if (copies.resized) prepared.options.sizeText.clear();

    Variant items(item.c_str()), optsize(prepared.options.sizeText.c_str()), isPublic, removeSizeBar, tagText;
    isPublic.PutBool(prepared.options.isPublic);
    removeSizeBar.PutBool(prepared.options.removeSizeBar);
    HRESULT hr = E_FAIL;
    switch (command) {
    case PictureCommand::Tag: {
        Variant text(tags.c_str());
        *tagText.Out() = text.Detach();
        hr = prepared.inner->UploadQueue(*items.Get(), *tagText.Get(), *isPublic.Get(), *optsize.Get(),
                                         *removeSizeBar.Get());
        break;
    }
    case PictureCommand::Blog:
        hr = prepared.inner->PostToBlog(*items.Get(), *optsize.Get(), *isPublic.Get(), *tagText.Get(),
                                        *removeSizeBar.Get());
        break;
    default:
        hr = prepared.inner->TransloadUrls(*items.Get(), *optsize.Get(), *isPublic.Get(), *tagText.Get(),
                                           *removeSizeBar.Get());
        break;
    }
    // An upload that never started leaves nothing behind.
    if (FAILED(hr)) RemoveCopies(copies.files);
    return hr;
}
COM_CATCH_RETURN(log_, name)

STDMETHODIMP CImageContextMenu::UploadImage(IDispatch* window)
{
    return RunPictureCommand(window, PictureCommand::Upload, "UploadImage");
}

STDMETHODIMP CImageContextMenu::TransloadImage(IDispatch* window)
{
    return RunPictureCommand(window, PictureCommand::Transload, "TransloadImage");
}

STDMETHODIMP CImageContextMenu::PostImageToBlog(IDispatch* window)
{
    return RunPictureCommand(window, PictureCommand::Blog, "PostImageToBlog");
}

STDMETHODIMP CImageContextMenu::TagImage(IDispatch* window)
{
    return RunPictureCommand(window, PictureCommand::Tag, "TagImage");
}

STDMETHODIMP CImageContextMenu::UploadAllImages(IDispatch* window)
try {
    ComPtr<IHTMLDocument2> document = WindowDocument(window);
    const std::wstring pageUrl = DocumentUrl(document.Get());
    ComPtr<IHTMLElementCollection> images;
    long count = 0;
    if (!document || FAILED(document->get_images(&images)) || !images || FAILED(images->get_length(&count)))
        count = 0;

    // The list offered: pictures that may be sent, with the size the page
    // shows them at; 1 x 1 pictures are page furniture, never offered.
    // Nothing is copied before the user chose.
    UploadImagesRequest request;
    std::vector<ComPtr<IHTMLElement>> elements;
    for (long i = 0; i < count && i < kMaxPagePictures; ++i) {
        Variant index(i);
        ComPtr<IDispatch> found;
        ComPtr<IHTMLElement> element;
        if (FAILED(images->item(*index.Get(), *index.Get(), &found)) || !found || FAILED(found.As(&element))) continue;
        const std::wstring url = PictureSource(element.Get());
        std::wstring localUrl;
        if (ChoosePictureRoute(pageUrl, url, localUrl) == PictureRoute::Refused) continue;
        PictureSize size;
        ShownPictureSize(element.Get(), size.width, size.height);
        if (size.width == 1 && size.height == 1) continue;
        request.addresses.push_back(url);
        request.sizes.push_back(size);
        elements.push_back(element);
    }
    ContextMenuDialogs dialogs = InstalledContextMenuDialogs();
    if (request.addresses.empty()) {
        dialogs.message(nullptr, IDS_NOTHING_TO_UPLOAD);
        return S_OK;
    }

    SettingsStore settings;
    request.owner = GetActiveWindow();
    request.resize = settings.Resize();
    request.sizeIndex = PictureIndexForResizeTo(settings.ResizeTo());
    request.removeSizeBar = settings.RemoveSizeBar();
    UploadImagesChoice choice;
    if (dialogs.uploadImages(request, choice) != S_OK || choice.addresses.empty()) return S_OK;

    // The kept pictures, as local copies where they can be made.
    LocalCopies copies;
    std::vector<std::wstring> items;
    for (const auto& address : choice.addresses) {
        size_t at = 0;
        while (at < request.addresses.size() && request.addresses[at] != address) ++at;
        if (at == request.addresses.size()) continue;  // not one the page offered
        const std::wstring item =
            PictureItem(pageUrl, address, document.Get(), elements[at].Get(), true, std::wstring(), copies);
        if (!item.empty()) items.push_back(item);
    }
    copies.clipboard.Restore();
    if (items.empty()) return S_OK;

    Variant tags, publicFlags;
    bool tagged = false;
    if (choice.askTags) {
        TagsDialogChoice perPicture;
        const HRESULT asked =
            InstalledFileUploaderDialogs().tags(request.owner, items, choice.tags, settings.Public(), perPicture);
        if (asked != S_OK || perPicture.tags.size() != items.size() || perPicture.publicFlags.size() != items.size()) {
            RemoveCopies(copies.files);
            return S_FALSE;
        }
        // Per-picture permissions as the toolbar's own upload passes them.
        bool made = PutStrings(tags, perPicture.tags);
        try {
            if (made) PutFlagArray(publicFlags.Out(), perPicture.publicFlags);
        } catch (const std::bad_alloc&) {
            made = false;
        }
        if (!made) {
            RemoveCopies(copies.files);
            return E_OUTOFMEMORY;
        }
        tagged = true;
    } else if (!IsBlankOnly(choice.tags)) {
        Variant text(choice.tags.c_str());
        *tags.Out() = text.Detach();
    }

    Prepared prepared;
    HRESULT hr = PrepareUploader(prepared, asFromBrowser + (choice.slideshow ? asSlideshow : asUpload), true);
    if (SUCCEEDED(hr)) {
        if (!tagged) publicFlags.PutBool(prepared.options.isPublic);
        Variant list, optsize(choice.sizeText.c_str()), removeSizeBar, effect(choice.effect.c_str()),
            background(choice.background.c_str());
        removeSizeBar.PutBool(choice.removeSizeBar);
        hr = PutStrings(list, items) ? S_OK : E_OUTOFMEMORY;
        if (SUCCEEDED(hr))
            hr = choice.slideshow ? prepared.inner->CreateSlideshow(*list.Get(), *optsize.Get(), *publicFlags.Get(),
                                                                    *tags.Get(), *effect.Get(), *background.Get())
                                  : prepared.inner->TransloadUrls(*list.Get(), *optsize.Get(), *publicFlags.Get(),
                                                                  *tags.Get(), *removeSizeBar.Get());
    }
    if (FAILED(hr)) RemoveCopies(copies.files);
    return hr;
}
COM_CATCH_RETURN(log_, "UploadAllImages")
