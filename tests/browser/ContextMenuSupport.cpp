// The right-click menu doubles (see the header).
#include "browser/ContextMenuSupport.h"

#include "common/Bstr.h"
#include "engine/FileUploaderDialogs.h"
#include "engine/UploadStrategy.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

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
