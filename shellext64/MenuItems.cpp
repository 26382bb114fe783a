// The extension's menu entries as plain data (see the header).
#include "shellext64/MenuItems.h"

#include <cstring>
#include <cwchar>

#include "common/TextConvert.h"
#include "shellext64/ExtensionResource.h"

#ifndef STRSAFE_E_INSUFFICIENT_BUFFER
#define STRSAFE_E_INSUFFICIENT_BUFFER static_cast<HRESULT>(0x8007007AL)
#endif

namespace {

std::wstring MenuText(UINT id, const wchar_t* builtIn)
{
    std::wstring text = LoadModuleString(id);
    return text.empty() ? builtIn : text;
}

// Copies count characters and a terminator into a buffer of size characters.
template <typename Char>
HRESULT CopyCut(const Char* text, size_t length, Char* buffer, UINT size)
{
    const bool cut = length >= size;
    const size_t copied = cut ? size - 1 : length;
    std::memcpy(buffer, text, copied * sizeof(Char));
    buffer[copied] = Char(0);
    return cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

}  // namespace

MenuItems MenuItemsFor(UINT fileCount)
{
    MenuItems items;
    if (fileCount == 0) return items;
    const bool one = fileCount == 1;
    items.wide[kMenuUpload] = one ? MenuText(IDS_UPLOAD_FILE, L"Upload File To Vellumpost")
                                  : MenuText(IDS_UPLOAD_FILES, L"Upload Files To Vellumpost");
    items.wide[kMenuTag] = one ? MenuText(IDS_TAG_FILE, L"Tag This File") : MenuText(IDS_TAG_FILES, L"Tags Files");
    if (one) items.wide[kMenuPostToBlog] = MenuText(IDS_POST_TO_BLOG, L"Post File to Blog");
    for (UINT i = 0; i < kMenuEntries; ++i) items.ansi[i] = Narrow(items.wide[i]);
    items.count = one ? 3 : 2;
    return items;
}

HRESULT CopyCommandString(const MenuItems& items, UINT_PTR offset, UINT type, char* buffer, UINT size)
{
    if (offset >= kMenuEntries) return E_INVALIDARG;
    const bool ansi = type == GCS_VERBA || type == GCS_HELPTEXTA;
    const bool wide = type == GCS_VERBW || type == GCS_HELPTEXTW;
    if (!ansi && !wide) return S_OK;
    if (static_cast<int>(size) <= 0 || !buffer) return E_INVALIDARG;
    if (ansi) return CopyCut(items.ansi[offset].c_str(), items.ansi[offset].size(), buffer, size);
    // The wide types hand the buffer over as UTF-16 of size characters.
    const std::wstring& text = items.wide[offset];
    return CopyCut(text.c_str(), text.size(), reinterpret_cast<wchar_t*>(buffer), size);
}

UINT OffsetOfVerb(const MenuItems& items, const wchar_t* verb)
{
    if (!verb) return kMenuEntries;
    for (UINT i = 0; i < items.count; ++i) {
        if (!items.wide[i].empty() && items.wide[i] == verb) return i;
    }
    return kMenuEntries;
}

UINT OffsetOfVerb(const MenuItems& items, const char* verb)
{
    if (!verb) return kMenuEntries;
    for (UINT i = 0; i < items.count; ++i) {
        if (!items.ansi[i].empty() && items.ansi[i] == verb) return i;
    }
    return kMenuEntries;
}
