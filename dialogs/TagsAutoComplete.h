// The user's remembered tags as a string enumerator for the system's
// auto-completion: one object per tags edit box, bound to it for suggestions
// and told every confirmed tags text so that it is offered next time.
#pragma once

#include <windows.h>
#include <shldisp.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "common/ComObject.h"
#include "common/RegKey.h"
#include "dialogs/TagCompletion.h"

class CTagsAutoComplete : public ComObject<CTagsAutoComplete, IEnumString>, public TagCompletion {
public:
    // The options every tags box gets: suggestions, Tab accepts, Up/Down opens the list.
    static const DWORD kOptions = ACO_AUTOSUGGEST | ACO_USETAB | ACO_UPDOWNKEYDROPSLIST;
    // Names longer than this are not offered.
    static const DWORD kMaxEntryChars = 4096;

    // IEnumString
    STDMETHODIMP Next(ULONG count, LPOLESTR* strings, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumString** copy) override;

    // Binds the system auto-completion to edit with options (0: the system's
    // defaults). On failure the box simply has no suggestions.
    HRESULT Bind(HWND edit, DWORD options);
    // Lets go of the system object (which holds this enumerator).
    void Unbind() noexcept;
    bool IsDropDownVisible() const;

    // TagCompletion
    void Attach(HWND edit) override { (void)Bind(edit, kOptions); }
    bool IsListOpen() const override { return IsDropDownVisible(); }
    // Trims the text and stores it once (value name and data both the text).
    void Remember(const std::wstring& tagsText) override;

    const std::vector<std::wstring>& Entries() const { return entries_; }

private:
    friend class ComObject<CTagsAutoComplete, IEnumString>;
    CTagsAutoComplete();
    ~CTagsAutoComplete() override;
    void Load();

    RegKey key_;
    std::vector<std::wstring> entries_;
    ULONG cursor_ = 0;
    Microsoft::WRL::ComPtr<IAutoComplete> autoComplete_;
};

// A new enumerator over the remembered tags; null when out of memory.
Microsoft::WRL::ComPtr<CTagsAutoComplete> MakeTagsAutoComplete();

// For the life of a dialog: when the dialog was given no completion, lends it
// a new enumerator over the remembered tags and takes it back (unbound) at
// the end of the scope.
class ScopedTagCompletion {
public:
    explicit ScopedTagCompletion(TagCompletion*& slot);
    ~ScopedTagCompletion();
    ScopedTagCompletion(const ScopedTagCompletion&) = delete;
    ScopedTagCompletion& operator=(const ScopedTagCompletion&) = delete;

private:
    TagCompletion*& slot_;
    Microsoft::WRL::ComPtr<CTagsAutoComplete> own_;
};
