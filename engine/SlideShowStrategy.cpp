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
    slotResults_[SlotOf(currentIndex_)] = currentResult_;
    ++uploadedCount_;
}

int CSlideShowStrategy::SlotOf(int index) const
{
    return index >= 0 && index < static_cast<int>(slots_.size()) ? slots_[static_cast<size_t>(index)] : index;
}

OutboxRecord CSlideShowStrategy::OutboxRecordOf(const CUploadItem& item)
{
    OutboxRecord record = CTransloadStrategy::OutboxRecordOf(item);
    if (group_.empty()) group_ = NewOutboxId();
    record.kind = OutboxKind::SlideshowMember;
    record.slideshow.group = group_;
    record.slideshow.slot = SlotOf(currentIndex_);
    record.slideshow.effect = effect_;
    record.slideshow.background = background_;
    record.slideshow.size = slideshowSize_;
    record.slideshow.isPublic = public_;
    return record;
}

void CSlideShowStrategy::ResumeFromOutbox(const std::wstring& id, const OutboxRecord& record)
{
    CTransloadStrategy::ResumeFromOutbox(id, record);
    const OutboxSlideshow& show = record.slideshow;
    group_ = show.group;
    slots_.resize(items_.size() - 1, 0);
    slots_.push_back(show.slot);
    // The record is as open as the folder: its texts are held to what the
    // options take from a caller.
    effect_ = show.effect.substr(0, kMaxOptionText);
    background_ = show.background.substr(0, kMaxOptionText);
    slideshowSize_ = show.size == "320x240" || show.size == "640x480" ? show.size : "426x320";
    public_ = show.isPublic;
}

void CSlideShowStrategy::OnItemDone()
{
    slotResults_[SlotOf(currentIndex_)] = currentResult_;
    CTransloadStrategy::OnItemDone();
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

bool CSlideShowStrategy::CompleteGroup()
{
    if (group_.empty()) return true;
    std::map<int, std::wstring> links;
    for (const auto& result : slotResults_)
        if (result.second.imageLink) links[result.first] = *result.second.imageLink;
    if (!outbox_.FinishGroup(group_, links)) return false;
    // Members sent in other uploads join in their places.
    results_.clear();
    for (const auto& link : links) {
        auto own = slotResults_.find(link.first);
        if (own != slotResults_.end()) {
            results_.push_back(own->second);
            continue;
        }
        CUploadResult result;
        result.SetName(link.second.c_str());
        result.SetImageLink(link.second.c_str());
        result.isPublic = public_;
        results_.push_back(result);
    }
    return true;
}

int CSlideShowStrategy::QueryCancel(bool force)
{
    const int answer = CTransloadStrategy::QueryCancel(force);
    CompleteGroup();
    return answer;
}

HRESULT CSlideShowStrategy::UploadComplete()
{
    Log().Write("Upload complete");
    if (!CompleteGroup()) {
        Log().Write("The slideshow waits for its members in the outbox");
        return 0;
    }
    if (!results_.empty()) {
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
