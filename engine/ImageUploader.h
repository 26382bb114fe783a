// The uploader as the strategies and progress displays see it.
#pragma once

#include <windows.h>
#include <oaidl.h>

class CMultipartFormData;
class IProgress;

class ImageUploader {
public:
    // Starts sending request to url; S_OK when the connection step was started.
    virtual HRESULT Upload(const wchar_t* url, CMultipartFormData& request) = 0;
    virtual void OnCancel(bool force) = 0;
    // Ends the upload thread's loop: all items are done.
    virtual void Finish() = 0;
    virtual bool IsCanceled() = 0;
    virtual bool GetFlag() = 0;
    // The display of this upload; the uploader keeps ownership.
    virtual IProgress* GetProgress() = 0;
    // The uploader object with a new reference.
    virtual IDispatch* GetDispatch() = 0;

protected:
    ~ImageUploader() = default;
};
