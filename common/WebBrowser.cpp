// Browser instance holder (see the header).
#include "common/WebBrowser.h"

#include <shlobj.h>

#include <string>

#include "common/Handle.h"
#include "common/HostCheck.h"
#include "common/LogWriter.h"

namespace {

const HRESULT kServerUnavailable = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);  // 0x800706BA
const int kClassObjectAttempts = 7;

CLSID BrowserClass(const LogWriter& log)
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(L"InternetExplorer.Application", &clsid))) {
        log.Write("WebBrowser FAILED to get InternetExplorer.Application CLSID, CLSID_InternetExplorer will be used");
        clsid = CLSID_InternetExplorer;
    }
    return clsid;
}

}  // namespace

HRESULT WebBrowser::Create()
{
    LogWriter log;
    log.Write("WebBrowser::Create...");
    CLSID clsid = BrowserClass(log);

    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        log.Write("WebBrowser::Create: FAILED to get IClassFactory");
        if (HostedInBrowser() || hr != kServerUnavailable) return hr;

        log.Write("WebBrowser::Try to start IE instance");
        wchar_t programFiles[MAX_PATH] = {};
        SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles);
        std::wstring command = std::wstring(programFiles) + L"\\Internet Explorer\\IEXPLORE.EXE about:blank";
        ProcessEx process;
        process.StartupInfo().dwFlags = STARTF_USESHOWWINDOW;
        process.StartupInfo().wShowWindow = SW_HIDE;
        if (!process.Run(nullptr, &command[0], nullptr, 0)) {
            log.Write("WebBrowser::IE process creation failed");
            return kServerUnavailable;
        }
        process.Wait(2000);
        process.Close();

        log.Write("WebBrowser::Try to create IClassFactory");
        for (int attempt = 0; attempt < kClassObjectAttempts; ++attempt) {
            hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_PPV_ARGS(&factory));
            if (SUCCEEDED(hr)) break;
            Sleep(1000);
        }
        if (FAILED(hr)) return hr;
    }
    if (FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&browser_)))) {
        log.Write("WebBrowser::Create: FAILED to Create Instance");
        return E_FAIL;
    }
    log.Write("WebBrowser::Create: Browser has been created successfully");
    return S_OK;
}

HRESULT WebBrowser::CreateInstance()
{
    LogWriter log;
    return CoCreateInstance(BrowserClass(log), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&browser_));
}

HRESULT WebBrowser::ShowBand(const CLSID& band, bool show)
{
    if (!browser_) return E_FAIL;
    wchar_t text[40] = {};
    StringFromGUID2(band, text, 40);
    VARIANT id, visible, size;
    VariantInit(&id);
    VariantInit(&visible);
    VariantInit(&size);
    id.vt = VT_BSTR;
    id.bstrVal = SysAllocString(text);
    visible.vt = VT_BOOL;
    visible.boolVal = show ? VARIANT_TRUE : VARIANT_FALSE;
    HRESULT hr = browser_->ShowBrowserBar(&id, &visible, &size);
    VariantClear(&id);
    return hr;
}
