// The right-click menus of the toolbar: the browser's picture commands (run
// by the menu pages through IImageContextMenu), the Explorer file menu
// (IShellExtInit, IContextMenu) and the same file commands forwarded from
// another process (IInnerImageContextMenu). Every command prepares an
// uploader object with the user's options and hands it the items.
#pragma once

#include <windows.h>
#include <mshtml.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "browser/ClipboardKeeper.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"
#include "engine/FileUploaderDialogs.h"

class CImageContextMenu : public ComObject<CImageContextMenu, TypeLibDispatch<IImageContextMenu>, IShellExtInit,
                                           IContextMenu, IInnerImageContextMenu> {
public:
    // Creates the uploader object a command drives. The default creates the
    // registered class; tests put a recorder in. Null restores it.
    using UploaderFactory = HRESULT (*)(IFileUploader** uploader);
    static void SetUploaderFactory(UploaderFactory factory);

    // The Explorer menu offsets of the commands.
    enum Command : LONG { kUpload = 0, kTag = 1, kPostToBlog = 2 };

    CImageContextMenu();

    // IImageContextMenu
    STDMETHODIMP UploadAllImages(IDispatch* window) override;
    STDMETHODIMP UploadImage(IDispatch* window) override;
    STDMETHODIMP PostImageToBlog(IDispatch* window) override;
    STDMETHODIMP TagImage(IDispatch* window) override;
    STDMETHODIMP TransloadImage(IDispatch* window) override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY programKey) override;

    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer, UINT size) override;

    // IInnerImageContextMenu
    STDMETHODIMP Execute(LONG command, VARIANT files, LONG x, LONG y, IDispatch* caller) override;

    // The Explorer window remembered at Initialize (null when the menu was
    // not opened from a folder window).
    HWND ExplorerWindow() const { return explorerWindow_; }

private:
    ~CImageContextMenu() override;

    struct Prepared;
    enum class PictureCommand { Upload, Transload, Blog, Tag };
    // The local copies one command made (file addresses), whether any is
    // resized, and the user's clipboard content kept while they are made.
    struct LocalCopies {
        std::vector<std::wstring> files;
        bool resized = false;
        ClipboardKeeper clipboard;
    };
    // Runs a picture command; name is the method's, for the log of an exception.
    HRESULT RunPictureCommand(IDispatch* window, PictureCommand command, const char* name) noexcept;
    std::wstring PictureItem(const std::wstring& pageUrl, const std::wstring& url, IHTMLDocument2* document,
                             IHTMLElement* element, bool copy, const std::wstring& resizeTo, LocalCopies& copies);
    // Creates the uploader and sets toolbar, destination and action; the
    // caller adds its own caller fields.
    HRESULT PrepareUploader(Prepared& prepared, int action, bool withToolbar);
    // Runs one Explorer file command (upload, tag or blog) with the items
    // already read; path items are local paths.
    HRESULT RunFileCommand(LONG command, const std::vector<std::wstring>& paths, POINT at, HWND callerWindow,
                           IDispatch* caller, bool withToolbar);
    // Reads the CF_HDROP file list of the kept data object.
    HRESULT ReadDroppedFiles(std::vector<std::wstring>& paths) const;
    // The command a CMINVOKECOMMANDINFO names, or -1.
    LONG CommandOfVerb(const CMINVOKECOMMANDINFO& info) const;
    void RememberExplorerWindow();
    const std::wstring& ItemText(UINT_PTR offset) const;

    Microsoft::WRL::ComPtr<IDataObject> data_;
    std::wstring uploadText_, tagText_, blogText_;
    POINT cursor_ = {};
    HWND explorerWindow_ = nullptr;
    LogWriter log_;
};
