// Turns one upload result into the link text of a link style: the ready-made
// code the service sent when there is one, else the style's two string-table
// templates filled with the result's links.
#pragma once

#include <string>

#include "engine/UploadResult.h"

// Link styles (the values of the type library's LinkStyleEnum).
enum LinkStyle : int {
    kLinkHtml = 0,
    kLinkForum1 = 1,
    kLinkForum2 = 2,
    kLinkFriend = 3,
};

// The link text of result in linkStyle; empty for a style outside 0..3.
std::wstring FormatLink(const CUploadResult& result, bool useThumbnail, int linkStyle);

// Replaces every "%link%", "%ad_link%", "%short_link%", "%thumb%" and
// "%select%" in text, in that order; absent links become empty text.
void FillPlaceholders(std::wstring& text, const CUploadResult& result, bool useThumbnail);

// What goes between joined links: "\n", or a blank when the user turned the
// new-line separator off.
std::wstring LinkSeparator();
