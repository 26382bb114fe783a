// Turns one upload result into the link text of a link style: the ready-made
// code the service sent when there is one, else the style's two string-table
// templates filled with the result's links.
#pragma once

#include <string>

#include "common/MarkupText.h"
#include "engine/UploadResult.h"

// Link styles (the values of the type library's LinkStyleEnum).
enum LinkStyle : int {
    kLinkHtml = 0,
    kLinkForum1 = 1,
    kLinkForum2 = 2,
    kLinkFriend = 3,
};

// The link text of result in linkStyle; empty for a style outside 0..3. A
// ready-made code that is empty or blank counts as missing. Links put into
// the HTML style's templates are escaped for their attributes; forum code and
// the friend link carry them as they are.
std::wstring FormatLink(const CUploadResult& result, bool useThumbnail, int linkStyle);

// Fills "%link%", "%ad_link%", "%short_link%", "%thumb%" and "%select%" of the
// template in text with the links of result escaped for context (absent links
// give empty text), in one pass: a link that holds a placeholder stays as it is.
void FillPlaceholders(std::wstring& text, const CUploadResult& result, bool useThumbnail, Markup context);

// What goes between joined links: "\n", or a blank when the user turned the
// new-line separator off.
std::wstring LinkSeparator();
