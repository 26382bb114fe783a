// Hands the answers of all uploaded items to the page's "uploadComplete"
// script function as one "<images>" text.
#pragma once

#include <windows.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <string>

#include "common/LogWriter.h"
#include "engine/ImageTarget.h"

class CJSImageTarget : public ImageTarget {
public:
    // Looks the function up on the script object of the document's window;
    // a page without it gets no call.
    explicit CJSImageTarget(IHTMLDocument2* document);
    void OnUploadComplete(const UploadResults& results) override;

    bool HasFunction() const { return function_ != nullptr; }

    // "<images>\n", each answer without its XML declaration and with "\n",
    // then "</images>".
    static std::wstring ImagesText(const UploadResults& results);

private:
    Microsoft::WRL::ComPtr<IDispatch> function_;
    LogWriter log_{"CJSImageTarget"};
};
