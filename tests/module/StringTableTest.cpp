// The toolbar library's string table, loaded from this program's own image
// (the test links the library's resource object): exact texts of the quoted
// strings, real control characters where the texts have line breaks, format
// strings that take the arguments their callers pass, service addresses whose
// host can be swapped, and a table that matches the identifiers of resource.h.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace {

// The loaded text, or an empty string with loaded = false when the id is missing.
std::wstring Load(UINT id, bool* loaded = nullptr)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (loaded) *loaded = length > 0;
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

// Identifiers named in resource.h; a NAME_FIRST / NAME_LAST pair stands for
// every identifier between the two.
std::map<std::string, UINT> ReadResourceHeaderIds()
{
    // The source tree's path as the build knows it (a compiler cache may
    // give this file a relative name).
    std::string path = VP_SOURCE_DIR "/resources/resource.h";
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // Wine's drive for "/"
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::map<std::string, UINT> ids;
    std::string line;
    while (std::getline(in, line)) {
        char name[128];
        unsigned value = 0;
        if (std::sscanf(line.c_str(), " #define %127s %u", name, &value) == 2 &&
            std::string(name).rfind("IDS_", 0) == 0)
            ids[name] = value;
    }
    return ids;
}

std::set<UINT> IdsOfHeader()
{
    std::map<std::string, UINT> named = ReadResourceHeaderIds();
    std::set<UINT> ids;
    for (const auto& [name, value] : named) {
        ids.insert(value);
        const std::string suffix = "_FIRST";
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            auto last = named.find(name.substr(0, name.size() - suffix.size()) + "_LAST");
            EXPECT_NE(named.end(), last) << name << " has no matching _LAST";
            if (last != named.end())
                for (UINT id = value; id <= last->second; ++id) ids.insert(id);
        }
    }
    return ids;
}

// Every string the image holds: string resources come in blocks of 16
// length-prefixed texts, block n holding ids (n - 1) * 16 to n * 16 - 1.
std::set<UINT> IdsOfImage()
{
    std::set<UINT> ids;
    EnumResourceNamesW(
        nullptr, RT_STRING,
        [](HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            auto* found = reinterpret_cast<std::set<UINT>*>(param);
            UINT block = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
            HRSRC info = FindResourceW(module, name, RT_STRING);
            const WORD* p = info ? static_cast<const WORD*>(LockResource(LoadResource(module, info))) : nullptr;
            for (UINT i = 0; p && i < 16; ++i) {
                if (*p) found->insert((block - 1) * 16 + i);
                p += 1 + *p;
            }
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

TEST(StringTable, EveryIdentifierOfTheHeaderLoadsAndNothingElseIsThere)
{
    std::set<UINT> header = IdsOfHeader();
    ASSERT_GT(header.size(), 100u);
    for (UINT id : header) {
        bool loaded = false;
        Load(id, &loaded);
        EXPECT_TRUE(loaded) << "string " << id << " is named in resource.h but not in the table";
    }
    for (UINT id : IdsOfImage())
        EXPECT_TRUE(header.count(id)) << "string " << id << " has no name in resource.h";
}

TEST(StringTable, QuotedTextsAreExact)
{
    const struct { UINT id; const wchar_t* text; } cases[] = {
        {IDS_PRODUCT_NAME, L"Vellumpost\u00AE"},
        {IDS_DROP_AVAILABLE_TIP, L"Drag images into the text area to host them on Vellumpost\u00AE"},
        {IDS_DROP_UNAVAILABLE_TIP, L"Drag and Drop disabled.\nThe page does not contain text areas."},
        {IDS_TEXTAREA_TITLE, L"Drag your image files here to host them on Vellumpost\u00AE"},
        {IDS_PROGRESS_FILE_N_OF_M, L"File %i of %i"},
        {IDS_ERROR_DETAILS, L"\n\nDetails:\n%s"},
        {IDS_ERROR_CANNOT_OPEN_FILE, L"Cannot open file: %s\nRetry?"},
        {IDS_ERROR_SOURCE_NOT_FOUND,
         L"Source cannot be accessed by server: %s\nUse Upload Image feature instead of Transload."},
        {IDS_LINK_HTML_OUTER, L"<a href=\"%ad_link%\" target=\"_blank\">%img%</a>"},
        {IDS_LINK_HTML_INNER,
         L"<img src=\"%select%\" border=\"0\" alt=\"Image Uploaded by Vellumpost Toolbar\" "
         L"title=\"Image Uploaded by Vellumpost Toolbar\" />"},
        {IDS_LINK_FORUM2_INNER, L"[img=%select%]"},
        {IDS_FORM_RESULTS,
         L"<form id=\"submit_form\" method=\"post\" action=\"%submit_url%\"><select name=\"id[]\" "
         L"multiple>%formatted_link%</select>%permissions%</form>"},
        {IDS_FORM_SLIDESHOW,
         L"<form id=\"submit_form\" method=\"post\" action=\"%submit_url%\"><select name=\"url[]\" "
         L"multiple>%formatted_link%</select><input type=\"hidden\" name=\"finalize\" value=\"%finalize%\">"
         L"<input type=\"hidden\" name=\"public\" value=\"%public%\"><input type=\"hidden\" name=\"optsize\" "
         L"value=\"%optsize%\"><input type=\"hidden\" name=\"fadein\" value=\"%effect%\"><input "
         L"type=\"hidden\" name=\"background\" value=\"%background%\"></form>"},
        {IDS_RESIZE_FIRST + 2, L"320x240 (for websites and email)"},
        {IDS_RESIZE_LAST, L"Optimize without resizing"},
        {IDS_SLIDESHOW_SIZE_FIRST + 1, L"426x320 (Medium)"},
        {IDS_COLOR_LAST, L"Yellow"},
        {IDS_MENU_TAG_FILES, L"Tag Files"},
        {IDS_SHUTDOWN_BROWSER_TEXT, L"All Internet Explorer windows will be closed to proceed uninstallation."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, Load(c.id)) << "string " << c.id;
}

// A resource-compiler escape that was not translated leaves a backslash or a
// doubled quote in the text; line breaks must be real control characters.
TEST(StringTable, EscapesAreTranslated)
{
    for (UINT id : IdsOfImage()) {
        std::wstring text = Load(id);
        EXPECT_EQ(std::wstring::npos, text.find(L'\\')) << "string " << id << ": " << text;
        EXPECT_EQ(std::wstring::npos, text.find(L"\"\"")) << "string " << id << ": " << text;
        EXPECT_EQ(std::wstring::npos, text.find(L'\r')) << "string " << id;
    }
    for (UINT id : {IDS_DROP_UNAVAILABLE_TIP, IDS_ERROR_CANNOT_UPLOAD, IDS_ERROR_CANNOT_TRANSLOAD,
                    IDS_ERROR_TRANSLOAD_FETCH})
        EXPECT_NE(std::wstring::npos, Load(id).find(L'\n')) << "string " << id;
}

// Texts handed to a printf-style formatter must hold exactly the conversions
// their callers supply, or formatting reads arguments that are not there.
TEST(StringTable, FormatStringsTakeTheirCallersArguments)
{
    auto conversions = [](const std::wstring& text) {
        std::wstring found;
        for (size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == L'%') found += text[++i];
        return found;
    };
    const struct { UINT id; const wchar_t* expected; } cases[] = {
        {IDS_PROGRESS_UPLOADING, L"s"}, {IDS_PROGRESS_CONVERTING, L"s"}, {IDS_PROGRESS_FILE_N_OF_M, L"ii"},
        {IDS_ERROR_DETAILS, L"s"}, {IDS_ERROR_CANNOT_OPEN_FILE, L"s"}, {IDS_ERROR_CANNOT_UPLOAD, L"s"},
        {IDS_ERROR_CANNOT_TRANSLOAD, L"s"}, {IDS_ERROR_FILE_TOO_BIG, L"s"}, {IDS_ERROR_SOURCE_NOT_FOUND, L"s"},
        {IDS_ERROR_TRANSLOAD_FETCH, L"s"}, {IDS_ERROR_INVALID_FILE, L"s"}, {IDS_LOAD_HOST_PATTERN, L"i"},
        {IDS_CAPTION_UPLOAD_ERROR, L""}, {IDS_CAPTION_TRANSLOAD_ERROR, L""}, {IDS_CAPTION_PROCESSING_ERROR, L""},
        {IDS_NOTHING_TO_UPLOAD, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, conversions(Load(c.id))) << "string " << c.id;

    wchar_t label[128];
    swprintf(label, 128, Load(IDS_PROGRESS_FILE_N_OF_M).c_str(), 2, 5);
    EXPECT_STREQ(L"File 2 of 5", label);
}

std::wstring HostOf(const std::wstring& url)
{
    size_t start = url.find(L"://");
    if (start == std::wstring::npos) return L"";
    start += 3;
    return url.substr(start, url.find(L'/', start) - start);
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The server selector and the ForceServer setting replace the host string
// inside an address, so each address must spell its host exactly.
TEST(StringTable, ServiceAddressesUseTheirHostStrings)
{
    const struct { UINT url; UINT host; const wchar_t* rest; } cases[] = {
        {IDS_HOME_URL, IDS_MAIN_HOST, L"/"},
        {IDS_INSTALL_DONE_URL, IDS_MAIN_HOST, L"/content.php?page=tdone"},
        {IDS_UPLOAD_URL, IDS_MAIN_HOST, L"/upload_api.php"},
        {IDS_BLOG_POST_URL, IDS_MAIN_HOST, L"/blogpost/postblog.php?id="},
        {IDS_SLIDESHOW_IMPORT_URL, IDS_MAIN_HOST, L"/slideshow/import.php"},
        {IDS_MY_IMAGES_URL, IDS_ACCOUNT_HOST, L"/v_images.php"},
        {IDS_RESULTS_PAGE_URL, IDS_ACCOUNT_HOST, L"/toolbar/pictures.php"},
        {IDS_MY_VIDEOS_URL, IDS_ACCOUNT_HOST, L"/video/my_videos.php"},
        {IDS_LOGIN_URL, IDS_PROFILE_HOST, L"/registration/setlogin.php?login="},
        {IDS_LOGOUT_URL, IDS_PROFILE_HOST, L"/registration/logout.php"},
        {IDS_SEARCH_URL, IDS_PROFILE_HOST, L"/search.php?q="},
    };
    for (const auto& c : cases) {
        std::wstring url = Load(c.url);
        EXPECT_EQ(L"http://" + Load(c.host) + c.rest, url) << "string " << c.url;
        EXPECT_EQ(url.find(Load(c.host)), url.rfind(Load(c.host))) << "host twice in string " << c.url;
    }
    // The video and toolbar hosts have no string of their own.
    const std::wstring video = Load(IDS_VIDEO_UPLOAD_URL), update = Load(IDS_UPDATE_URL);
    EXPECT_EQ(L"http://" + HostOf(video) + L"/upload_api.php", video);
    EXPECT_EQ(L"http://" + HostOf(update) + L"/update.xml", update);
}

TEST(StringTable, EveryHostIsUnderTheBareDomain)
{
    const std::wstring domain = Load(IDS_DOMAIN);
    ASSERT_FALSE(domain.empty());
    EXPECT_EQ(std::wstring::npos, domain.find_first_of(L"/:"));

    std::set<std::wstring> hosts{Load(IDS_MAIN_HOST), Load(IDS_ACCOUNT_HOST), Load(IDS_PROFILE_HOST)};
    for (UINT id : {IDS_HOME_URL, IDS_MY_IMAGES_URL, IDS_INSTALL_DONE_URL, IDS_UPLOAD_URL, IDS_RESULTS_PAGE_URL,
                    IDS_BLOG_POST_URL, IDS_SLIDESHOW_IMPORT_URL, IDS_LOGIN_URL, IDS_LOGOUT_URL,
                    IDS_VIDEO_UPLOAD_URL, IDS_VIDEO_THUMBNAIL_URL, IDS_MY_VIDEOS_URL, IDS_SEARCH_URL,
                    IDS_UPDATE_URL}) {
        EXPECT_EQ(0u, Load(id).find(L"http://")) << "string " << id;
        hosts.insert(HostOf(Load(id)));
    }
    // The ten load hosts: the pattern formatted with 1 to 10, all different.
    std::set<std::wstring> loadHosts;
    for (int i = 1; i <= 10; ++i) {
        wchar_t host[256];
        swprintf(host, 256, Load(IDS_LOAD_HOST_PATTERN).c_str(), i);
        loadHosts.insert(host);
    }
    EXPECT_EQ(10u, loadHosts.size());
    hosts.insert(loadHosts.begin(), loadHosts.end());
    for (const std::wstring& host : hosts) EXPECT_TRUE(EndsWith(host, L"." + domain)) << host;
}

}  // namespace
