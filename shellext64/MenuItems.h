// The Explorer menu entries of the extension as plain data: which texts a
// selection gets, how a command string is copied out, and which entry a
// string verb names. Kept free of COM so that tests drive the rules directly.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>

// Menu offsets of the entries, as Explorer passes them back.
enum MenuOffset : UINT { kMenuUpload = 0, kMenuTag = 1, kMenuPostToBlog = 2, kMenuEntries = 3 };

struct MenuItems {
    std::wstring wide[kMenuEntries];
    std::string ansi[kMenuEntries];
    UINT count = 0;  // entries shown: 3 for one file, 2 for several, 0 for none
};

// The entries for a selection of fileCount files, texts from this image's
// string table with built-in texts where a string is missing.
MenuItems MenuItemsFor(UINT fileCount);

// GetCommandString's copy of entry offset as verb or help text (they are the
// same text): E_INVALIDARG for an offset without entry or, for the four text
// types, a buffer size of zero or below; the text cut to the buffer and always
// terminated, STRSAFE_E_INSUFFICIENT_BUFFER when cut; S_OK without output for
// other types.
HRESULT CopyCommandString(const MenuItems& items, UINT_PTR offset, UINT type, char* buffer, UINT size);

// The offset of the entry whose verb is the given text (compared exactly, as
// GetCommandString hands verbs out); kMenuEntries when none of the shown
// entries has it. A string verb is never read as a number.
UINT OffsetOfVerb(const MenuItems& items, const wchar_t* verb);
UINT OffsetOfVerb(const MenuItems& items, const char* verb);
