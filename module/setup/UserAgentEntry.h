// The browser user-agent entry: a value named after the product and its
// version in the browser's "Post Platform" key, so that the browser's user
// agent carries the toolbar's name.
#pragma once

#include <windows.h>

#include <string>

// Removes the values of every earlier version of the product, then writes the
// value productName with empty text. Nothing happens when the key cannot be
// created or opened.
void RegisterUserAgent(HKEY machineRoot, const std::wstring& productName);

// Removes the value productName; the key itself stays.
void UnregisterUserAgent(HKEY machineRoot, const std::wstring& productName);
