// Registry entries of the browser integration beyond the standard class keys:
// the band's place in the browser's toolbar list and the right-click menu
// entries. Both are class-table registration hooks (registering: write,
// otherwise: remove what was written).
#pragma once

#include <windows.h>

// The toolbar band: the per-user product key with its name (kept on removal:
// it holds the user's settings) and the band's value in the browser's toolbar
// list (removed; the list key itself is the browser's and stays).
HRESULT RegisterBandEntries(bool registering);

// The browser's right-click entries: one key per entry below the per-user
// "MenuExt" key, pointing at a script page in this module's resources.
// Removal deletes exactly those entry keys.
HRESULT RegisterBrowserMenuEntries(bool registering);

// What registration writes under HKEY_CURRENT_USER, for a user other than the
// one who registered: the product key and the right-click entries that this
// user does not have yet. What is there (entries, settings, history) stays as
// it is. Nothing is written (S_FALSE) unless the band's registered class is
// this module.
HRESULT WriteMissingUserEntries();
