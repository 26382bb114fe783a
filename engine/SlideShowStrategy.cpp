// Slideshow strategy (see the header).
#include "engine/SlideShowStrategy.h"

#include <algorithm>

#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "engine/ImageSize.h"
#include "engine/ImageTarget.h"
#include "engine/LinkFormat.h"
#include "engine/MultipartFormData.h"
#include "resources/resource.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CSlideShowStrategy");
    return log;
}

// The text of a string option, cut at its first NUL and at the longest length
// kept, never inside a surrogate pair.
std::string OptionText(BSTR value)
{
    if (!value) return std::string();
    std::wstring text(value, SysStringLen(value));
    text.erase(std::min(text.find(L'\0'), text.size()));
    if (text.size() > CSlideShowStrategy::kMaxOptionText) {
        size_t cut = CSlideShowStrategy::kMaxOptionText;
        if (IS_HIGH_SURROGATE(text[cut - 1])) --cut;
        text.erase(cut);
    }
    return Narrow(text);
}

}  // namespace

std::string CSlideShowStrategy::SlideShowSize(const VARIANT& value)
{
    if (V_VT(&value) != VT_BSTR || !V_BSTR(&value) || SysStringLen(V_BSTR(&value)) == 0) return "426x320";
    std::wstring size = ToLower(NormalizeSizeText(std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value)))));
    if (size == L"resample" || size == L"426x320") return "426x320";
    if (size == L"100x75" || size == L"150x112" || size == L"320x240") return "320x240";
    return "640x480";
}

CSlideShowStrategy::CSlideShowStrategy()
    : public_(SettingsStore().Public()),
      slideshowSize_("426x320"),
      importSelector_(IDS_SLIDESHOW_IMPORT_URL),
      serviceHosts_(ServiceHosts::FromModule())
{
}

bool CSlideShowStrategy::IsHosted(const CUploadItem& item) const
{
    return !item.IsFileUrl() && IsServiceUrl(item.Path(), ServiceScope::AnyHost, serviceHosts_);
}

void CSlideShowStrategy::AddHostedResult(const CUploadItem& item)
{
    currentResult_.Clear();
    currentResult_.SetName(item.Path().c_str());
    currentResult_.SetImageLink(item.Path().c_str());
    currentResult_.isPublic = item.isPublic;
    results_.push_back(currentResult_);
    ++uploadedCount_;
}

HRESULT CSlideShowStrategy::SetItems(const VARIANT& items)
{
    HRESULT hr = CTransloadStrategy::SetItems(items);
    if (hr != S_OK) return hr;
    // The service fetches web addresses; a file chosen on disk goes as a
    // "file:///" address, which is uploaded from here.
    for (auto& item : items_)
        if (!item.Path().empty() && item.Path().find(L"://") == std::wstring::npos)
            item.SetPath(PathToFileUrl(item.Path()));
    // Pictures already on the service are not sent again: UploadNextItem
    // skips them and they become results there, on the upload thread.
    return S_OK;
}

void CSlideShowStrategy::OnItemFailed()
{
    if (currentIndex_ >= 0 && currentIndex_ < GetItemCount() && IsHosted(GetCurrentItem())) {
        AddHostedResult(GetCurrentItem());
        return;
    }
    CTransloadStrategy::OnItemFailed();
}

HRESULT CSlideShowStrategy::SetOption(const wchar_t* name, const VARIANT& value)
{
    if (name && (lstrcmpW(name, L"effect") == 0 || lstrcmpW(name, L"background") == 0)) {
        if (V_VT(&value) == VT_EMPTY) return 0;
        if (V_VT(&value) != VT_BSTR) return E_FAIL;
        (name[0] == L'e' ? effect_ : background_) = OptionText(V_BSTR(&value));
    }
    return CTransloadStrategy::SetOption(name, value);
}

HRESULT CSlideShowStrategy::SetOptSize(const VARIANT& value)
{
    slideshowSize_ = SlideShowSize(value);
    for (auto& item : items_) item.optsize = slideshowSize_;
    return 0;
}

HRESULT CSlideShowStrategy::SetPublic(const VARIANT& value)
{
    std::vector<std::optional<bool>> flags;
    bool single = false;
    if (VariantFlags(value, flags, single) && !single) {
        // One flag per picture: each keeps its own, and the show is public
        // only when every picture in it is.
        CTransloadStrategy::SetPublic(value);
        public_ = std::all_of(items_.begin(), items_.end(), [](const CUploadItem& item) { return item.isPublic; });
        return 0;
    }
    public_ = V_VT(&value) != VT_BOOL || V_BOOL(&value) == VARIANT_TRUE;
    for (auto& item : items_) item.isPublic = public_;
    return 0;
}

HRESULT CSlideShowStrategy::PrepareRequest(CMultipartFormData& form)
{
    HRESULT hr = CTransloadStrategy::PrepareRequest(form);
    if (FAILED(hr)) return hr;
    form.AddField("class", "s");
    return hr;
}

HRESULT CSlideShowStrategy::UploadComplete()
{
    Log().Write("Upload complete");
    if (uploadedCount_ != 0) {
        std::wstring url = importSelector_.RandomPick();
        CImageTargetPostData data(this);
        target_->PostData(url.c_str(), data);
    }
    return 0;
}

bool CSlideShowStrategy::CImageTargetPostData::FillRequest(CMultipartFormData& request)
{
    const CSlideShowStrategy& s = *strategy_;
    for (const auto& result : s.results_) request.AddField("url[]", Narrow(result.shortLink.value_or(std::wstring())));
    request.AddField("public", s.public_ ? "yes" : "no");
    // The service closes the slideshow only when it has more than one picture.
    request.AddField("finalize", s.results_.size() >= 2 ? "yes" : "no");
    request.AddField("optsize", s.slideshowSize_);
    if (!s.effect_.empty()) request.AddField("fadein", s.effect_);
    if (!s.background_.empty()) request.AddField("background", s.background_);
    return true;
}

bool CSlideShowStrategy::CImageTargetPostData::FillHtmlForm(std::wstring& text, bool useThumbnail)
{
    // One pass over each template; every value escaped for its attribute.
    const CSlideShowStrategy& s = *strategy_;
    std::wstring options;
    for (const auto& result : s.results_) {
        std::wstring option = LoadModuleString(IDS_FORM_SLIDESHOW_OPTION);
        FillPlaceholders(option, result, useThumbnail, Markup::kHtmlAttribute);
        options += option;
    }
    text = ExpandTemplate(LoadModuleString(IDS_FORM_SLIDESHOW),
                          {{L"%formatted_link%", options},
                           {L"%public%", s.public_ ? L"yes" : L"no"},
                           {L"%finalize%", L"yes"},
                           {L"%optsize%", EscapeHtmlAttribute(Widen(s.slideshowSize_))},
                           {L"%effect%", EscapeHtmlAttribute(Widen(s.effect_))},
                           {L"%background%", EscapeHtmlAttribute(Widen(s.background_))}});
    return true;
}
