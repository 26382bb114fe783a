// The strategy base: item list, upload loop, common form fields (see the header).
#include "engine/UploadStrategy.h"

#include "common/Bstr.h"
#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/VersionStrings.h"
#include "engine/ActionStatistics.h"
#include "engine/ImageSize.h"
#include "engine/ImageTarget.h"
#include "engine/ImageUploader.h"
#include "engine/MultipartFormData.h"
#include "engine/Progress.h"

#include <wrl/client.h>

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CUploadStrategy");
    return log;
}

// Elements of a one-dimensional array, bounded by its own bounds.
bool ArrayBounds(SAFEARRAY* array, LONG& lower, LONG& count)
{
    if (!array || SafeArrayGetDim(array) != 1) return false;
    LONG upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) return false;
    count = upper >= lower ? upper - lower + 1 : 0;
    return true;
}

std::optional<std::wstring> VariantText(const VARIANT& element)
{
    if (V_VT(&element) == VT_EMPTY || V_VT(&element) == VT_NULL) return std::nullopt;
    if (V_VT(&element) == VT_BSTR) {
        if (!V_BSTR(&element)) return std::nullopt;
        return std::wstring(V_BSTR(&element), SysStringLen(V_BSTR(&element)));
    }
    Variant text;
    if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&element), 0, VT_BSTR))) return std::nullopt;
    BSTR converted = V_BSTR(text.Get());
    return converted ? std::wstring(converted, SysStringLen(converted)) : std::wstring();
}

// Element index of an array of type (VT_VARIANT, VT_BSTR, VT_BOOL or VT_I4)
// as a variant; false when it cannot be read.
bool ArrayEntry(SAFEARRAY* array, VARTYPE type, LONG index, Variant& entry)
{
    VARIANT* out = entry.Out();
    switch (type) {
    case VT_VARIANT: return SUCCEEDED(SafeArrayGetElement(array, &index, out));
    case VT_BSTR: {
        BSTR text = nullptr;
        if (FAILED(SafeArrayGetElement(array, &index, &text))) return false;
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = text;
        return true;
    }
    case VT_BOOL: {
        VARIANT_BOOL flag = VARIANT_FALSE;
        if (FAILED(SafeArrayGetElement(array, &index, &flag))) return false;
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = flag;
        return true;
    }
    case VT_I4: {
        LONG number = 0;
        if (FAILED(SafeArrayGetElement(array, &index, &number))) return false;
        V_VT(out) = VT_I4;
        V_I4(out) = number;
        return true;
    }
    default: return false;
    }
}

// The public flag one entry gives: a Boolean as it is, a text or number as
// it converts ("0" and 0 private, "1" and -1 public); an entry that does not
// convert counts as public. Empty entries give none.
std::optional<bool> EntryFlag(const VARIANT& entry)
{
    if (V_VT(&entry) == VT_EMPTY || V_VT(&entry) == VT_NULL) return std::nullopt;
    if (V_VT(&entry) == VT_BOOL) return V_BOOL(&entry) == VARIANT_TRUE;
    Variant flag;
    if (FAILED(VariantChangeType(flag.Get(), const_cast<VARIANT*>(&entry), 0, VT_BOOL))) return true;
    return V_BOOL(flag.Get()) != VARIANT_FALSE;
}

}  // namespace

bool VariantFlags(const VARIANT& value, std::vector<std::optional<bool>>& flags, bool& single)
{
    flags.clear();
    single = false;
    if (V_VT(&value) == VT_BOOL) {
        single = true;
        flags.push_back(V_BOOL(&value) == VARIANT_TRUE);
        return true;
    }
    if (!(V_VT(&value) & VT_ARRAY) || (V_VT(&value) & VT_BYREF)) return false;
    const VARTYPE type = V_VT(&value) & VT_TYPEMASK;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG lower = 0, count = 0;
    if (!ArrayBounds(array, lower, count)) return false;
    flags.reserve(static_cast<size_t>(count));
    for (LONG i = 0; i < count; ++i) {
        Variant entry;
        flags.push_back(ArrayEntry(array, type, lower + i, entry) ? EntryFlag(*entry.Get()) : std::nullopt);
    }
    return true;
}

bool VariantTexts(const VARIANT& value, std::vector<std::optional<std::wstring>>& texts, bool& single)
{
    texts.clear();
    single = false;
    VARTYPE vt = V_VT(&value);
    if (vt == VT_BSTR) {
        single = true;
        if (V_BSTR(&value))
            texts.emplace_back(std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value))));
        else
            texts.emplace_back(std::nullopt);
        return true;
    }
    if (vt != (VT_ARRAY | VT_BSTR) && vt != (VT_ARRAY | VT_VARIANT)) return false;
    SAFEARRAY* array = V_ARRAY(&value);
    LONG lower = 0, count = 0;
    if (!ArrayBounds(array, lower, count)) return false;
    texts.reserve(static_cast<size_t>(count));
    for (LONG i = 0; i < count; ++i) {
        LONG index = lower + i;
        if (vt == (VT_ARRAY | VT_BSTR)) {
            Bstr element;
            if (FAILED(SafeArrayGetElement(array, &index, element.Out())) || !element.Get()) {
                texts.emplace_back(std::nullopt);
                continue;
            }
            texts.emplace_back(std::wstring(element.Get(), element.Length()));
        } else {
            Variant element;
            if (FAILED(SafeArrayGetElement(array, &index, element.Out()))) {
                texts.emplace_back(std::nullopt);
                continue;
            }
            texts.push_back(VariantText(*element.Get()));
        }
    }
    return true;
}

CUploadStrategy::CUploadStrategy() : target_(new CEmptyImageTarget)
{
    Log().Format("UploadStrategy has been created %s", LogAddress(this).c_str());
}

CUploadStrategy::~CUploadStrategy() { ReleaseTarget(); }

void CUploadStrategy::ReleaseTarget()
{
    try {
        Log().Format("Destroying %s", LogAddress(this).c_str());
        target_.reset();
    } catch (...) {
        Log().Format("EXCEPTION on destroying upload strategy %s", LogAddress(this).c_str());
    }
}

void CUploadStrategy::SetTarget(std::unique_ptr<ImageTarget> target)
{
    target_ = target ? std::move(target) : std::make_unique<CEmptyImageTarget>();
}

CUploadItem& CUploadStrategy::GetItem(int index)
{
    if (index < 0 || index >= static_cast<int>(items_.size())) throw InvalidItemIndex();
    return items_[static_cast<size_t>(index)];
}

CUploadItem& CUploadStrategy::GetCurrentItem() { return GetItem(currentIndex_); }

int CUploadStrategy::GetItemCount() const { return static_cast<int>(items_.size()); }

bool CUploadStrategy::IsItemRejected(const CUploadItem&) { return false; }

bool CUploadStrategy::IsCurrentItemRejected() { return IsItemRejected(GetCurrentItem()); }

HRESULT CUploadStrategy::UploadItem()
{
    try {
        std::wstring path = GetCurrentItem().Path();
        if (IProgress* progress = uploader_ ? uploader_->GetProgress() : nullptr) {
            if (currentIndex_ != 0 || GetItemCount() != 1)
                progress->SetItemCount(currentIndex_, GetItemCount());
            else
                progress->SetItemName(path.c_str());
        }
        if (FAILED(PrepareItem())) return E_FAIL;
        Log().Write("UploadItem: Starting upload item: ", path.c_str());
        CMultipartFormData form;
        Log().Write("UploadItem: PrepareRequest...");
        if (FAILED(PrepareRequest(form))) return E_FAIL;
        std::wstring url = GetPostUrl();
        Log().Write("UploadItem: Post data to ", url.c_str());
        if (uploader_ && SUCCEEDED(uploader_->Upload(url.c_str(), form))) {
            Log().Write("UploadItem: Upload started");
            return S_OK;
        }
        Log().Write("UploadItem: FAIL TO POST DATA ", url.c_str());
        return E_FAIL;
    } catch (...) {
        Log().Write("EXCEPTION on UploadItem!!!");
        return E_FAIL;
    }
}

HRESULT CUploadStrategy::UploadNextItem()
{
    try {
        // Keeps the uploader alive while its items are walked.
        Microsoft::WRL::ComPtr<IDispatch> keep;
        // GetDispatch hands out a reference of its own; the pointer takes it
        // over (this ComPtr's Attach would add another).
        if (uploader_) *keep.GetAddressOf() = uploader_->GetDispatch();
        Log().Write("UploadNextItem...");
        for (;;) {
            if (!uploader_ || uploader_->IsCanceled()) break;
            if (++currentIndex_ >= GetItemCount()) break;
            if (IsCurrentItemRejected()) {
                OnItemFailed();
                continue;
            }
            if (SUCCEEDED(UploadItem())) return S_OK;
        }
        Log().Write("UploadNextItem: Nothing to upload or upload was canceled");
        if (uploader_) uploader_->Finish();
        return E_FAIL;
    } catch (...) {
        Log().Write("EXCEPTION in UploadNextItem()");
        return E_FAIL;
    }
}

HRESULT CUploadStrategy::Initialize(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                                    const VARIANT& tags)
{
    HRESULT hr = SetItems(items);
    if (hr != 0) return hr;
    SetPublic(publicFlags);
    SetOptSize(optsize);
    SetTags(tags);
    return 0;
}

HRESULT CUploadStrategy::UploadComplete() { return 0; }

int CUploadStrategy::QueryCancel(bool) { return 0; }

HRESULT CUploadStrategy::DocumentComplete(const wchar_t*)
{
    OnItemDone();
    return UploadComplete();
}

void CUploadStrategy::OnItemDone() {}

void CUploadStrategy::OnItemFailed() {}

int CUploadStrategy::UploadError() { return 1; }

HRESULT CUploadStrategy::SetOption(const wchar_t* name, const VARIANT& value)
{
    if (!name) return 0;
    if (lstrcmpW(name, L"statistics") == 0 && V_VT(&value) != VT_EMPTY) {
        Variant number;
        if (SUCCEEDED(VariantChangeType(number.Get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
            statistics_ = V_I4(number.Get());
    } else if (lstrcmpW(name, L"cookie") == 0 && V_VT(&value) == VT_BSTR) {
        cookie_ = V_BSTR(&value) ? Narrow(V_BSTR(&value)) : std::string();
    }
    return 0;
}

HRESULT CUploadStrategy::SetItems(const VARIANT& items)
{
    // Only strings and arrays of strings or variants name items; anything
    // else (numbers, objects) is refused before it is read as text.
    std::vector<std::optional<std::wstring>> paths;
    bool single = false;
    if (!(V_VT(&items) & VT_BSTR) || !VariantTexts(items, paths, single)) return E_INVALIDARG;
    bool publicDefault = SettingsStore().Public();
    if (!single) items_.clear();
    for (const auto& path : paths) {
        CUploadItem item(path ? *path : std::wstring());
        item.isPublic = publicDefault;
        items_.push_back(std::move(item));
    }
    return 0;
}

HRESULT CUploadStrategy::PrepareItem() { return 0; }

HRESULT CUploadStrategy::PrepareRequest(CMultipartFormData& form)
{
    const CUploadItem& item = GetCurrentItem();
    form.AddField("toolbar", Narrow(VersionStrings::VersionCookie()));
    form.AddField("public", item.isPublic ? "yes" : "no");
    form.AddField("xml", "newformat");
    if (!item.tags.empty()) form.AddField("tags", item.tags);
    if (FAILED(AddResizeFields(form))) return E_FAIL;
    if (statistics_ != 0) {
        form.AddField("statistics_operation", StatisticsOperationText(statistics_));
        form.AddField("statistics_source", StatisticsSourceText(statistics_));
    }
    if (!cookie_.empty()) form.AddField("cookie", cookie_);
    return S_OK;
}

HRESULT CUploadStrategy::AddResizeFields(CMultipartFormData& form)
{
    const CUploadItem& item = GetCurrentItem();
    if (!item.optsize.empty()) {
        form.AddField("optimage", "1");
        form.AddField("optsize", item.optsize);
        Log().Write("Image will be resized to: ", item.optsize.c_str());
    }
    return S_OK;
}

HRESULT CUploadStrategy::SetOptSize(const VARIANT& value)
{
    std::vector<std::optional<std::wstring>> texts;
    bool single = false;
    if (!VariantTexts(value, texts, single)) return 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& text = single ? texts[0] : (i < texts.size() ? texts[i] : std::nullopt);
        if (text) items_[i].optsize = Narrow(NormalizeSizeText(*text));
    }
    return 0;
}

HRESULT CUploadStrategy::SetPublic(const VARIANT& value)
{
    std::vector<std::optional<bool>> flags;
    bool single = false;
    if (!VariantFlags(value, flags, single)) return 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& flag = single ? flags[0] : (i < flags.size() ? flags[i] : std::nullopt);
        if (flag) items_[i].isPublic = *flag;
    }
    return 0;
}

HRESULT CUploadStrategy::SetTags(const VARIANT& value)
{
    std::vector<std::optional<std::wstring>> texts;
    bool single = false;
    if (!VariantTexts(value, texts, single)) return 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const auto& text = single ? texts[0] : (i < texts.size() ? texts[i] : std::nullopt);
        if (text) items_[i].tags = Narrow(*text);
    }
    return 0;
}
