// The right-click menu doubles (see the header).
#include "browser/ContextMenuSupport.h"

#include "common/Bstr.h"
#include "engine/FileUploaderDialogs.h"
#include "engine/UploadStrategy.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

class DropDataObject : public ComObject<DropDataObject, IDataObject> {
public:
    explicit DropDataObject(std::vector<std::wstring> paths) : paths_(std::move(paths)) {}

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium) return E_POINTER;
        if (paths_.empty() || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
        size_t chars = 1;
        for (const auto& path : paths_) chars += path.size() + 1;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
        if (!memory) return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        auto* names = reinterpret_cast<wchar_t*>(drop + 1);
        for (const auto& path : paths_) {
            std::copy(path.begin(), path.end(), names);
            names += path.size() + 1;
        }
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> paths_;
};

// Stands for the results browser window.
class ResultWindow : public ComObject<ResultWindow, IPersist> {
public:
    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
};

}  // namespace

std::vector<ComPtr<RecordingUploader>>& RecordingUploader::Made()
{
    static std::vector<ComPtr<RecordingUploader>> made;
    return made;
}

HRESULT RecordingUploader::Factory(IFileUploader** uploader)
{
    ComPtr<RecordingUploader> made = Make();
    if (!made) return E_OUTOFMEMORY;
    Made().push_back(made);
    return made.CopyTo(uploader);
}

std::wstring RecordingUploader::Text(const VARIANT& value)
{
    Variant text;
    if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&value), 0, VT_BSTR))) return L"";
    return V_BSTR(text.Get()) ? V_BSTR(text.Get()) : L"";
}

HRESULT RecordingUploader::Record(const wchar_t* name, const VARIANT& i, const VARIANT& o, const VARIANT& p,
                                  const VARIANT& t, const VARIANT& r)
{
    EXPECT_TRUE(entry.empty()) << "a second entry point called";
    entry = name;
    std::vector<std::optional<std::wstring>> texts;
    bool single = false;
    EXPECT_TRUE(VariantTexts(i, texts, single));
    for (const auto& text : texts) items.push_back(text ? *text : L"<null>");
    optsize = Text(o);
    isPublic = V_VT(&p) == VT_BOOL && V_BOOL(&p) != VARIANT_FALSE;
    tagsType = V_VT(&t);
    tags = Text(t);
    removeSizeBar = V_VT(&r) == VT_BOOL && V_BOOL(&r) != VARIANT_FALSE;
    return S_OK;
}

ComPtr<IDataObject> DropData(const std::vector<std::wstring>& paths) { return DropDataObject::Make<IDataObject>(paths); }

void ContextMenuTest::SetUp()
{
    RecordingUploader::Made().clear();
    CImageContextMenu::SetUploaderFactory(&RecordingUploader::Factory);
    ContextMenuDialogs dialogs;
    dialogs.login = [this](HWND, POINT at) { logins.push_back(at); };
    dialogs.tag = [this](HWND, POINT, const std::vector<std::wstring>& items, std::wstring& tags) {
        taggedItems.push_back(items);
        tags = tagsAnswer;
        return tagResult;
    };
    dialogs.message = [this](HWND, UINT id) { messages.push_back(id); };
    dialogs.uploadImages = [this](const UploadImagesRequest& request, UploadImagesChoice& choice) {
        imageLists.push_back(request);
        choice = imagesChoice;
        return imagesResult;
    };
    InstallContextMenuDialogs(dialogs);
    FileUploaderDialogs uploaderDialogs;
    uploaderDialogs.resultWindow = [this](ComPtr<IUnknown>& window) {
        ++resultWindows;
        return ResultWindow::Make<IPersist>().As(&window);
    };
    InstallFileUploaderDialogs(uploaderDialogs);
}

void ContextMenuTest::TearDown()
{
    CImageContextMenu::SetUploaderFactory(nullptr);
    InstallContextMenuDialogs(ContextMenuDialogs());
    InstallFileUploaderDialogs(FileUploaderDialogs());
    RecordingUploader::Made().clear();
}

}  // namespace vptest
