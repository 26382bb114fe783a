// The tag queue restart target (see the header).
#include "engine/RestartImageTarget.h"

#include <windows.h>
#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/LogWriter.h"
#include "common/Variant.h"

void CRestartImageTarget::OnUploadComplete(const UploadResults&)
try {
    Microsoft::WRL::ComPtr<IInnerFileUploader> uploader;
    // Without the uploader class there is no next pass; nothing to report.
    if (FAILED(CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_ALL, IID_IInnerFileUploader,
                                reinterpret_cast<void**>(uploader.GetAddressOf()))) ||
        !uploader)
        return;
    Variant items, tags, publicFlags, optsize, removeSizeBar;
    HRESULT hr = uploader->UploadQueue(*items.Get(), *tags.Get(), *publicFlags.Get(), *optsize.Get(),
                                       *removeSizeBar.Get());
    if (FAILED(hr)) LogWriter("CRestartImageTarget").Format("FAILED to start the queue: 0x%x", static_cast<unsigned>(hr));
} catch (...) {
    LogWriter("CRestartImageTarget").Write("EXCEPTION on OnUploadComplete");
}
