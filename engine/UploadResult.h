// What the service answered for one uploaded item: its links, the ready-made
// link codes and the error, if any. Copied by value into result lists; every
// text may be absent, which is not the same as empty.
#pragma once

#include <optional>
#include <string>

class CUploadResult {
public:
    using Text = std::optional<std::wstring>;

    Text name;          // file name of the item, set by the strategy
    Text imageLink;     // direct link to the stored file
    Text shortLink;     // last three path segments of the image link
    Text adLink;        // the service's page that shows the file
    Text thumbLink;
    Text donePage;      // page to show when a single upload is done
    Text imageHtml;
    Text imageBB;
    Text imageBB2;
    Text thumbHtml;
    Text thumbBB;
    Text thumbBB2;
    Text responseText;  // the whole answer
    bool isPublic = true;
    Text errorText;
    Text errorId;       // such as "file_too_big"

    // Fills every field the answer carries (all but name and public) from
    // text; false only when text is null. Success of the upload is judged by
    // the caller from the image link. Addresses that are not http or https
    // and empty ready-made codes are left absent.
    bool Parse(const wchar_t* text);

    // The file name of path: after its last '\', else after its last '/',
    // else the whole path. Null makes the name absent.
    void SetName(const wchar_t* path);

    // Sets the image link (null: absent) and derives the short link from it.
    void SetImageLink(const wchar_t* link);

    // Derives the short link from the image link again.
    void UpdateShortLink();

    // Makes every text absent except the response text and makes the result public.
    void Clear();

    // False for an absent ready-made code and for one that is empty or
    // blank: such a code would insert nothing in place of a link.
    static bool IsUsableCode(const Text& code);

    // The last three path segments of link ("a/b/c.jpg" of
    // "http://host/a/b/c.jpg"); absent when link has fewer than three '/'.
    static Text ShortLinkOf(const Text& link);
};
