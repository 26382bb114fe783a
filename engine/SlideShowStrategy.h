// Uploads or transloads several pictures at one slideshow size and then
// submits them to the service's slideshow import page. Pictures already on
// the service are not sent again: their addresses go to the slideshow as they are.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/HostCheck.h"
#include "engine/ServerSelector.h"
#include "engine/TransloadStrategy.h"

class CSlideShowStrategy : public CTransloadStrategy {
public:
    // Longest effect or background text kept; longer texts are cut.
    static constexpr size_t kMaxOptionText = 127;

    // Maps a size choice to one of the three slideshow sizes.
    static std::string SlideShowSize(const VARIANT& value);

    CSlideShowStrategy();

    // A web address on a host of the service's domain (the parsed host, not the text).
    bool IsItemRejected(const CUploadItem& item) override { return IsHosted(item); }
    // Posts the import page once no member of the slideshow waits in the
    // outbox any more, with the links of every member in their order.
    HRESULT UploadComplete() override;
    void OnItemDone() override;
    void OnItemFailed() override;
    // A canceled slideshow leaves the links of its members to those that
    // wait in the outbox, which make the slideshow once they are sent.
    int QueryCancel(bool force) override;
    // A member sent later: the slideshow's options and its place come from
    // its record.
    void ResumeFromOutbox(const std::wstring& id, const OutboxRecord& record) override;
    // Adds "effect" and "background" (strings only).
    HRESULT SetOption(const wchar_t* name, const VARIANT& value) override;
    // Local paths become "file:///" addresses; hosted addresses stay and are
    // skipped when the items are sent.
    HRESULT SetItems(const VARIANT& items) override;
    HRESULT PrepareRequest(CMultipartFormData& form) override;
    HRESULT SetOptSize(const VARIANT& value) override;
    HRESULT SetPublic(const VARIANT& value) override;

    bool IsHosted(const CUploadItem& item) const;
    const std::string& Effect() const { return effect_; }
    const std::string& Background() const { return background_; }
    bool IsPublic() const { return public_; }
    const std::string& Size() const { return slideshowSize_; }

protected:
    // The items and options of the slideshow import page.
    class CImageTargetPostData : public ImageTargetPostData {
    public:
        explicit CImageTargetPostData(CSlideShowStrategy* strategy) : strategy_(strategy) {}
        bool FillRequest(CMultipartFormData& request) override;
        bool FillHtmlForm(std::wstring& text, bool useThumbnail) override;

    private:
        CSlideShowStrategy* strategy_;
    };

    // The item's address becomes a result without being sent.
    void AddHostedResult(const CUploadItem& item);
    // Kept as a member of this slideshow's group, with its options.
    OutboxRecord OutboxRecordOf(const CUploadItem& item) override;
    // The place of item index in the slideshow.
    int SlotOf(int index) const;
    // Joins this upload's members to the links of the slideshow's group;
    // true, with the results then holding every member in its place, once
    // none waits in the outbox.
    bool CompleteGroup();

    std::string effect_;
    std::string background_;
    bool public_;
    std::string slideshowSize_;
    CServerSelector importSelector_;
    ServiceHosts serviceHosts_;
    // The outbox group of the members (made with the first record), the
    // places of resumed members, and the results by place.
    std::wstring group_;
    std::vector<int> slots_;
    std::map<int, CUploadResult> slotResults_;
};
