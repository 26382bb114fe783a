// Reading the service's answers into upload results with the platform's XML
// reader and with the text scan, the short link, and answers that try to make
// the XML reader expand entities.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "engine/UploadResponseParser.h"
#include "common/ModuleInstance.h"
#include "engine/UploadResult.h"
#include "resources/resource.h"
#include "support/TempFolder.h"

namespace {

class UploadResultTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

std::wstring Value(const CUploadResult::Text& text)
{
    return text ? *text : L"<absent>";
}

// True when the answer is read by the XML reader (the text scan never finds attributes).
bool ReadAsXml(const wchar_t* answer)
{
    CUploadResponseParser reader(answer);
    return dynamic_cast<const CUploadResponseParser::XMLDocumentParser*>(reader.GetParser()) != nullptr;
}

const wchar_t kImageAnswer[] =
    L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    L"<imginfo><links>"
    L"<image_link>http://img1.vellumpost.test/img1/123/cat.jpg</image_link>"
    L"<ad_link>http://img1.vellumpost.test/my.php?image=cat.jpg&amp;x=1</ad_link>"
    L"<thumb_link>http://img1.vellumpost.test/img1/123/cat.th.jpg</thumb_link>"
    L"<done_page>http://vellumpost.test/content.php?id=cat</done_page>"
    L"<image_html>&lt;img src=\"x\"&gt;</image_html>"
    L"<image_bb>[IMG]x[/IMG]</image_bb>"
    L"<image_bb2>[img=x]</image_bb2>"
    L"<thumb_html>th</thumb_html><thumb_bb>tb</thumb_bb><thumb_bb2>tb2</thumb_bb2>"
    L"</links></imginfo>";

TEST_F(UploadResultTest, XmlAnswerFillsEveryFieldWithEntitiesResolved)
{
    CUploadResult result;
    result.SetName(L"C:\\pictures\\cat.jpg");
    result.isPublic = false;
    ASSERT_TRUE(ReadAsXml(kImageAnswer));
    ASSERT_TRUE(result.Parse(kImageAnswer));

    EXPECT_EQ(L"http://img1.vellumpost.test/img1/123/cat.jpg", Value(result.imageLink));
    EXPECT_EQ(L"img1/123/cat.jpg", Value(result.shortLink));
    EXPECT_EQ(L"http://img1.vellumpost.test/my.php?image=cat.jpg&x=1", Value(result.adLink));
    EXPECT_EQ(L"http://img1.vellumpost.test/img1/123/cat.th.jpg", Value(result.thumbLink));
    EXPECT_EQ(L"http://vellumpost.test/content.php?id=cat", Value(result.donePage));
    EXPECT_EQ(L"<img src=\"x\">", Value(result.imageHtml));
    EXPECT_EQ(L"[IMG]x[/IMG]", Value(result.imageBB));
    EXPECT_EQ(L"[img=x]", Value(result.imageBB2));
    EXPECT_EQ(L"th", Value(result.thumbHtml));
    EXPECT_EQ(L"tb", Value(result.thumbBB));
    EXPECT_EQ(L"tb2", Value(result.thumbBB2));
    EXPECT_FALSE(result.errorText) << Value(result.errorText);
    EXPECT_FALSE(result.errorId) << Value(result.errorId);
    // The parser leaves what the strategy set alone.
    EXPECT_EQ(L"cat.jpg", Value(result.name));
    EXPECT_FALSE(result.isPublic);
    // The response text is the reader's own serialisation of the document.
    ASSERT_TRUE(result.responseText);
    EXPECT_NE(std::wstring::npos, result.responseText->find(L"<image_link>http://img1.vellumpost.test/img1/123/cat.jpg</image_link>"))
        << *result.responseText;
}

TEST_F(UploadResultTest, VideoCodesStandInForMissingImageCodes)
{
    const wchar_t answer[] =
        L"<r><links><image_link>http://v.test/v/1/clip.flv</image_link>"
        L"<video_embed>&lt;embed src=\"clip\"/&gt;</video_embed>"
        L"<frame_bb>[FLASH]clip[/FLASH]</frame_bb><frame_bb2>[flash]clip[/flash]</frame_bb2>"
        L"<thumb_link>http://v.test/v/1/clip.jpg</thumb_link></links>"
        L"<video-info><duration>12</duration></video-info></r>";
    CUploadResult result;
    ASSERT_TRUE(result.Parse(answer));
    EXPECT_EQ(L"<embed src=\"clip\"/>", Value(result.imageHtml));
    EXPECT_EQ(L"[FLASH]clip[/FLASH]", Value(result.imageBB));
    EXPECT_EQ(L"[flash]clip[/flash]", Value(result.imageBB2));
    // A thumb link of its own wins over the generic video thumbnail.
    EXPECT_EQ(L"http://v.test/v/1/clip.jpg", Value(result.thumbLink));

    // Image codes win over video codes when both are there.
    const wchar_t both[] =
        L"<r><links><image_html>img</image_html><video_embed>vid</video_embed>"
        L"<image_bb>ib</image_bb><frame_bb>fb</frame_bb></links></r>";
    ASSERT_TRUE(result.Parse(both));
    EXPECT_EQ(L"img", Value(result.imageHtml));
    EXPECT_EQ(L"ib", Value(result.imageBB));
    EXPECT_FALSE(result.imageBB2);
}

TEST_F(UploadResultTest, VideoWithoutThumbnailGetsTheGenericVideoThumbnail)
{
    const wchar_t* generic = nullptr;
    const int length = LoadStringW(ThisModule(), IDS_VIDEO_THUMBNAIL_URL,
                                   reinterpret_cast<LPWSTR>(&generic), 0);
    ASSERT_GT(length, 0) << "the string table is linked into the test program";

    CUploadResult result;
    ASSERT_TRUE(result.Parse(L"<r><video-info><duration>0:12</duration></video-info>"
                             L"<links><image_link>http://v.test/v/1/clip.flv</image_link></links></r>"));
    EXPECT_EQ(std::wstring(generic, length), Value(result.thumbLink));

    // Without a duration the answer is no video: no thumbnail is made up.
    ASSERT_TRUE(result.Parse(L"<r><links><image_link>http://v.test/v/1/clip.flv</image_link></links></r>"));
    EXPECT_FALSE(result.thumbLink) << Value(result.thumbLink);

    // The text scan finds the duration too.
    ASSERT_TRUE(result.Parse(L"<links><image_link>a/b/c</image_link></links><duration>5</duration><broken"));
    EXPECT_EQ(std::wstring(generic, length), Value(result.thumbLink));
}

TEST_F(UploadResultTest, ErrorTextAndIdComeFromTheXmlReader)
{
    const wchar_t answer[] = L"<r><links><error id=\"file_too_big\">The file is too big &amp; was dropped</error></links></r>";
    CUploadResult result;
    ASSERT_TRUE(result.Parse(answer));
    EXPECT_FALSE(result.imageLink);
    EXPECT_FALSE(result.shortLink);
    EXPECT_EQ(L"The file is too big & was dropped", Value(result.errorText));
    EXPECT_EQ(L"file_too_big", Value(result.errorId));
}

TEST_F(UploadResultTest, ParsingReplacesTheFieldsOfAnEarlierAnswer)
{
    CUploadResult result;
    ASSERT_TRUE(result.Parse(kImageAnswer));
    ASSERT_TRUE(result.Parse(L"<r><links><error id=\"transload_error\">no</error></links></r>"));
    EXPECT_FALSE(result.imageLink);
    EXPECT_FALSE(result.shortLink);
    EXPECT_FALSE(result.thumbHtml);
    EXPECT_EQ(L"transload_error", Value(result.errorId));
}

TEST_F(UploadResultTest, AnswerThatIsNotXmlIsScannedAsText)
{
    // Not well-formed (unclosed root, raw ampersand): the scan finds the link
    // and resolves entities itself.
    const wchar_t answer[] =
        L"Warning: something & more\n<links><image_link>http://h.test/a/b/c.jpg?x=1&amp;y=&quot;2&quot;</image_link>"
        L"<image_html>&lt;a&gt;&amp;lt;b&amp;gt;</image_html>";
    ASSERT_FALSE(ReadAsXml(answer));
    CUploadResult result;
    ASSERT_TRUE(result.Parse(answer));
    EXPECT_EQ(L"http://h.test/a/b/c.jpg?x=1&y=\"2\"", Value(result.imageLink));
    EXPECT_EQ(L"a/b/c.jpg?x=1&y=\"2\"", Value(result.shortLink));
    // The ampersand is resolved last, so an escaped entity stays an entity.
    EXPECT_EQ(L"<a>&lt;b&gt;", Value(result.imageHtml));
    EXPECT_EQ(std::wstring(answer), Value(result.responseText)) << "the raw text is kept";
}

TEST_F(UploadResultTest, TextScanIgnoresThePathAndNeverFindsAttributes)
{
    CUploadResult result;
    ASSERT_TRUE(result.Parse(L"<error>Too big</error><links></links"));
    EXPECT_EQ(L"Too big", Value(result.errorText)) << "an error outside links is found";
    EXPECT_FALSE(result.imageLink);

    // Tags are matched literally: an element with attributes is not found,
    // and its attribute never is.
    ASSERT_TRUE(result.Parse(L"<links><error id=\"file_too_big\">Too big</error>"));
    EXPECT_FALSE(result.errorText) << Value(result.errorText);
    EXPECT_FALSE(result.errorId) << Value(result.errorId);
}

TEST_F(UploadResultTest, TextScanTakesTheClosingTagAfterTheOpeningOne)
{
    CUploadResult result;
    // A stray closing tag before the opening one does not give a value of
    // negative length; the value ends at the first closing tag after it.
    ASSERT_TRUE(result.Parse(L"</image_link> <image_link>http://h/a/b/c</image_link><ad_link>x"));
    EXPECT_EQ(L"http://h/a/b/c", Value(result.imageLink));
    EXPECT_FALSE(result.adLink) << "no closing tag: absent";
    // An empty element is present and empty, not absent.
    ASSERT_TRUE(result.Parse(L"<error></error><"));
    EXPECT_EQ(L"", Value(result.errorText));
}

TEST_F(UploadResultTest, NullAnswerGivesNoParserAndLeavesTheResultAlone)
{
    CUploadResponseParser reader(nullptr);
    EXPECT_EQ(nullptr, reader.GetParser());

    CUploadResult result;
    result.SetImageLink(L"http://h/a/b/c.jpg");
    result.responseText = L"earlier";
    EXPECT_FALSE(result.Parse(nullptr));
    EXPECT_EQ(L"http://h/a/b/c.jpg", Value(result.imageLink));
    EXPECT_EQ(L"earlier", Value(result.responseText));

    // An empty answer does get a parser (the text scan) and finds nothing.
    EXPECT_TRUE(result.Parse(L""));
    EXPECT_FALSE(result.imageLink);
    EXPECT_EQ(L"", Value(result.responseText));
}

TEST_F(UploadResultTest, ClearKeepsOnlyTheResponseText)
{
    CUploadResult result;
    ASSERT_TRUE(result.Parse(L"<r><links><image_link>http://h/a/b/c</image_link><error id=\"e\">t</error></links></r>"));
    result.SetName(L"c.jpg");
    result.isPublic = false;
    const CUploadResult::Text response = result.responseText;
    ASSERT_TRUE(response);

    result.Clear();
    EXPECT_EQ(response, result.responseText);
    EXPECT_TRUE(result.isPublic);
    for (const CUploadResult::Text* field :
         {&result.name, &result.imageLink, &result.shortLink, &result.adLink, &result.thumbLink, &result.donePage,
          &result.imageHtml, &result.imageBB, &result.imageBB2, &result.thumbHtml, &result.thumbBB, &result.thumbBB2,
          &result.errorText, &result.errorId})
        EXPECT_FALSE(*field) << Value(*field);
}

TEST(UploadResultLinkTest, ShortLinkIsTheLastThreePathSegments)
{
    struct Case {
        const wchar_t* link;
        const wchar_t* shortLink;  // null: absent
    } cases[] = {
        {L"http://img1.vellumpost.test/img1/123/cat.jpg", L"img1/123/cat.jpg"},
        {L"http://host/c.jpg", L"/host/c.jpg"},
        {L"a/b/c", nullptr},
        {L"/b/c", nullptr},
        {L"//c", nullptr},
        {L"///", L"//"},
        {L"cat.jpg", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        CUploadResult result;
        result.SetImageLink(c.link);
        EXPECT_EQ(c.link, Value(result.imageLink));
        EXPECT_EQ(c.shortLink ? c.shortLink : L"<absent>", Value(result.shortLink)) << "link " << testing::PrintToString(std::wstring(c.link));
    }

    CUploadResult result;
    result.SetImageLink(L"http://h/a/b/c");
    result.SetImageLink(nullptr);
    EXPECT_FALSE(result.imageLink);
    EXPECT_FALSE(result.shortLink) << "the short link follows the image link";
}

TEST(UploadResultLinkTest, NameIsTheLastPathComponent)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* name;
    } cases[] = {
        {L"C:\\a\\b.jpg", L"b.jpg"},
        {L"http://h/x/y.png", L"y.png"},
        {L"C:\\a/b\\c/d.jpg", L"c/d.jpg"},  // a backslash wins over later slashes
        {L"plain.gif", L"plain.gif"},
        {L"C:\\dir\\", L""},
    };
    for (const Case& c : cases) {
        CUploadResult result;
        result.SetName(c.path);
        EXPECT_EQ(c.name, Value(result.name)) << "path " << testing::PrintToString(std::wstring(c.path));
    }
}

// --- answers that try to make the XML reader expand or fetch ------------------

TEST_F(UploadResultTest, EntityDeclarationsAreNeverExpanded)
{
    // A file the reader could pull in through an external entity.
    vptest::TempFolder folder;
    const std::wstring secretPath = folder.Write(L"secret.txt", "SECRET-CONTENT");
    std::wstring secretUrl = L"file:///" + secretPath;
    for (auto& ch : secretUrl)
        if (ch == L'\\') ch = L'/';

    const std::wstring answers[] = {
        L"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x \"EXPANDED\">]>"
        L"<r><links><image_link>http://h/a/b/&x;</image_link></links></r>",
        L"<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUrl + L"\">]>"
        L"<r><links><image_link>http://h/a/b/&x;</image_link></links></r>",
        L"<!DOCTYPE r [<!ENTITY a \"EXPANDED\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        L"<r><links><image_link>&b;</image_link></links></r>",
        L"<!doctype r SYSTEM \"" + secretUrl + L"\"><r><links><image_link>http://h/a/b/c</image_link></links></r>",
    };
    for (const std::wstring& answer : answers) {
        SCOPED_TRACE(testing::PrintToString(answer));
        EXPECT_FALSE(ReadAsXml(answer.c_str())) << "a document type declaration keeps the XML reader out";
        CUploadResult result;
        ASSERT_TRUE(result.Parse(answer.c_str()));
        for (const CUploadResult::Text* field : {&result.imageLink, &result.shortLink}) {
            EXPECT_EQ(std::wstring::npos, Value(*field).find(L"EXPANDED")) << Value(*field);
            EXPECT_EQ(std::wstring::npos, Value(*field).find(L"SECRET")) << Value(*field);
        }
        EXPECT_EQ(answer, Value(result.responseText)) << "the raw answer is kept, not a reader's expansion";
    }
}

TEST_F(UploadResultTest, DocumentsAreLoadedWithExternalResourcesOff)
{
    // The same settings hold for any text given to the document loader.
    Microsoft::WRL::ComPtr<IXMLDOMDocument> document;
    const CLSID queryClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    ASSERT_EQ(S_FALSE, CUploadResponseParser::XMLDocumentParser::LoadDocument(
                           queryClass, L"<!DOCTYPE r [<!ENTITY x \"y\">]><r>&x;</r>", document));
    ASSERT_TRUE(document) << "the document class is available";
    VARIANT_BOOL flag = VARIANT_TRUE;
    ASSERT_EQ(S_OK, document->get_resolveExternals(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    flag = VARIANT_TRUE;
    ASSERT_EQ(S_OK, document->get_validateOnParse(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);

    EXPECT_EQ(S_OK, CUploadResponseParser::XMLDocumentParser::LoadDocument(queryClass, L"<r/>", document));
    EXPECT_EQ(S_FALSE, CUploadResponseParser::XMLDocumentParser::LoadDocument(queryClass, L"<r>", document));
}

TEST_F(UploadResultTest, OnlyWebAddressesAreTakenFromAnAnswer)
{
    // By either reader: addresses that would run or open something in the
    // browser are dropped, the good links of the same answer stay.
    const wchar_t* answers[] = {
        L"<r><links><image_link>HTTP://h.test/i/7/a.jpg</image_link>"
        L"<ad_link>javascript:alert(document.cookie)</ad_link><thumb_link>\n  https://h.test/t/7/a.jpg\n</thumb_link>"
        L"<done_page> javascript:alert(1)</done_page></links></r>",
        L"<links><image_link>HTTP://h.test/i/7/a.jpg</image_link><ad_link>vbscript:msgbox(1)</ad_link>"
        L"<thumb_link>https://h.test/t/7/a.jpg</thumb_link><done_page>file:///C:/x.exe</done_page><broken",
    };
    for (const wchar_t* answer : answers) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(answer)));
        CUploadResult result;
        ASSERT_TRUE(result.Parse(answer));
        EXPECT_EQ(L"HTTP://h.test/i/7/a.jpg", Value(result.imageLink));
        EXPECT_EQ(L"i/7/a.jpg", Value(result.shortLink));
        EXPECT_EQ(L"https://h.test/t/7/a.jpg", Value(result.thumbLink));
        EXPECT_FALSE(result.adLink) << Value(result.adLink);
        EXPECT_FALSE(result.donePage) << Value(result.donePage);
    }
    // Without a usable image link the answer is no success, and has no short link.
    CUploadResult result;
    ASSERT_TRUE(result.Parse(L"<links><image_link>javascript:x//a/b/c</image_link></links>"));
    EXPECT_FALSE(result.imageLink);
    EXPECT_FALSE(result.shortLink);
    ASSERT_TRUE(result.Parse(L"<links><image_link></image_link><"));
    EXPECT_FALSE(result.imageLink);
}

TEST_F(UploadResultTest, EmptyReadyMadeCodesAreMissingCodes)
{
    CUploadResult result;
    // The text scan finds empty elements; a blank code counts as empty.
    ASSERT_TRUE(result.Parse(L"<image_html></image_html><video_embed>V</video_embed><image_bb> \n</image_bb>"
                             L"<thumb_html></thumb_html><thumb_bb2>tb2</thumb_bb2><"));
    EXPECT_EQ(L"V", Value(result.imageHtml)) << "the video code stands in";
    EXPECT_FALSE(result.imageBB);
    EXPECT_FALSE(result.thumbHtml);
    EXPECT_EQ(L"tb2", Value(result.thumbBB2));
    ASSERT_TRUE(result.Parse(L"<r><links><image_bb2>  </image_bb2><frame_bb2>F</frame_bb2></links></r>"));
    EXPECT_EQ(L"F", Value(result.imageBB2));
}

TEST_F(UploadResultTest, DeeplyNestedAnswersAreReadByTheTextScan)
{
    auto nested = [](int depth) {
        std::wstring text;
        for (int i = 0; i < depth; ++i) text += L"<d>";
        text += L"<links><image_link>http://h.test/i/1/a.jpg</image_link></links>";
        for (int i = 0; i < depth; ++i) text += L"</d>";
        return text;
    };
    EXPECT_TRUE(ReadAsXml(nested(40).c_str()));
    for (int depth : {70, 100000}) {
        const std::wstring answer = nested(depth);
        EXPECT_FALSE(ReadAsXml(answer.c_str())) << depth;
        CUploadResult result;
        ASSERT_TRUE(result.Parse(answer.c_str()));
        EXPECT_EQ(L"http://h.test/i/1/a.jpg", Value(result.imageLink)) << depth;
    }
}

// --- the log -----------------------------------------------------------------

TEST_F(UploadResultTest, TextScanIsLoggedWithTheAnswer)
{
    {
        RegKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
        const DWORD on = 1;
        RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
    }
    // The log file is shared by every test process: the answer is unique.
    const std::wstring marker = L"marker-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    const std::wstring answer = L"<links><image_link>" + marker + L"</image_link>";
    CUploadResult result;
    ASSERT_TRUE(result.Parse(answer.c_str()));

    const std::string log = vptest::ReadFileBytes(LogWriter("CUploadResponseParser").Path());
    const std::string narrowAnswer(answer.begin(), answer.end());
    EXPECT_NE(std::string::npos, log.find("CUploadResponseParser\t- Parsing XML as text:\n" + narrowAnswer + "\r\n"))
        << "log file holds: " << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
}

}  // namespace
