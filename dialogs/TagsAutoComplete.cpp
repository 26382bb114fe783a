// The remembered tags enumerator (see the header). Each object reads the key
// once when it is made; what another object remembers later is not seen.
#include "dialogs/TagsAutoComplete.h"

#include <objbase.h>

#include "common/LogWriter.h"
#include "common/SettingsKey.h"

using Microsoft::WRL::ComPtr;

namespace {

// The system's auto-completion object.
const CLSID kAutoCompleteClass = {0x00bb2763, 0x6a77, 0x11d0, {0xa5, 0x35, 0x00, 0xc0, 0x4f, 0xd7, 0xd0, 0x62}};

LogWriter Log()
{
    return LogWriter("CTagsAutoComplete");
}

std::wstring Trimmed(const std::wstring& text)
{
    const wchar_t* blanks = L" \t\r\n\v\f";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::wstring::npos) return std::wstring();
    return text.substr(begin, text.find_last_not_of(blanks) + 1 - begin);
}

}  // namespace

CTagsAutoComplete::CTagsAutoComplete()
{
    const std::wstring path = TagsKeyPath();
    if (!key_.Create(HKEY_CURRENT_USER, path.c_str())) Log().Write("Cannot open the tags key");
    Load();
}

CTagsAutoComplete::~CTagsAutoComplete()
{
    Unbind();
}

void CTagsAutoComplete::Load()
{
    entries_.clear();
    if (!key_.IsValid()) return;
    std::vector<wchar_t> name(kMaxEntryChars + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status = RegEnumValueW(key_.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        // A name too long for the list is left out; the names after it still count.
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        std::wstring entry(name.data(), length);
        if (entry.empty() || entry.find(L'\0') != std::wstring::npos) continue;
        entries_.push_back(std::move(entry));
    }
}

STDMETHODIMP CTagsAutoComplete::Next(ULONG count, LPOLESTR* strings, ULONG* fetched)
try {
    if (!strings || !fetched) return E_POINTER;
    *fetched = 0;
    if (count == 0) return S_FALSE;
    for (ULONG i = 0; i < count; ++i) {
        if (cursor_ >= entries_.size()) return S_FALSE;
        const std::wstring& entry = entries_[cursor_];
        const size_t bytes = (entry.size() + 1) * sizeof(wchar_t);
        auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (!copy) return *fetched ? S_FALSE : E_OUTOFMEMORY;
        memcpy(copy, entry.c_str(), bytes);
        strings[i] = copy;
        ++*fetched;
        ++cursor_;
    }
    return S_OK;
} catch (...) {
    Log().Format("EXCEPTION on Next in %s", LogAddress(this).c_str());
    return E_FAIL;
}

STDMETHODIMP CTagsAutoComplete::Skip(ULONG count)
{
    // Saturates instead of wrapping: Next past the end simply finds nothing.
    const ULONG room = ~ULONG(0) - cursor_;
    cursor_ += count < room ? count : room;
    return S_OK;
}

STDMETHODIMP CTagsAutoComplete::Reset()
{
    cursor_ = 0;
    return S_OK;
}

STDMETHODIMP CTagsAutoComplete::Clone(IEnumString** copy)
try {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    ComPtr<IEnumString> fresh;
    const HRESULT hr = Create(fresh);
    if (FAILED(hr)) return hr;
    *copy = fresh.Detach();
    return S_OK;
} catch (...) {
    Log().Format("EXCEPTION on Clone in %s", LogAddress(this).c_str());
    return E_FAIL;
}

HRESULT CTagsAutoComplete::Bind(HWND edit, DWORD options)
{
    Unbind();
    ComPtr<IAutoComplete> created;
    HRESULT hr = CoCreateInstance(kAutoCompleteClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created));
    if (FAILED(hr)) {
        Log().Format("Cannot create the auto-completion: 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    if (options) {
        ComPtr<IAutoComplete2> withOptions;
        if (SUCCEEDED(created.As(&withOptions))) withOptions->SetOptions(options);
    }
    hr = created->Init(edit, static_cast<IEnumString*>(this), nullptr, nullptr);
    if (FAILED(hr)) {
        Log().Format("Cannot bind the auto-completion: 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    autoComplete_ = std::move(created);
    return S_OK;
}

void CTagsAutoComplete::Unbind() noexcept
{
    autoComplete_.Reset();
}

bool CTagsAutoComplete::IsDropDownVisible() const
{
    if (!autoComplete_) return false;
    ComPtr<IAutoCompleteDropDown> dropDown;
    if (FAILED(autoComplete_.As(&dropDown))) return false;
    DWORD flags = 0;
    LPWSTR text = nullptr;
    if (FAILED(dropDown->GetDropDownStatus(&flags, &text))) return false;
    CoTaskMemFree(text);
    return (flags & ACDD_VISIBLE) != 0;
}

void CTagsAutoComplete::Remember(const std::wstring& tagsText)
{
    const std::wstring text = Trimmed(tagsText.substr(0, tagsText.find(L'\0')));
    if (text.empty()) return;
    for (const std::wstring& entry : entries_)
        if (entry == text) return;
    entries_.push_back(text);
    if (!key_.IsValid()) return;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key_.Get(), text.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

ComPtr<CTagsAutoComplete> MakeTagsAutoComplete()
{
    return CTagsAutoComplete::Make();
}

ScopedTagCompletion::ScopedTagCompletion(TagCompletion*& slot) : slot_(slot)
{
    if (slot_) return;
    own_ = MakeTagsAutoComplete();
    slot_ = own_.Get();
}

ScopedTagCompletion::~ScopedTagCompletion()
{
    if (!own_) return;
    own_->Unbind();
    slot_ = nullptr;
}
