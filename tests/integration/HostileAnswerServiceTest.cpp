// Answers of the service that carry hostile links, crafted by the development
// service and taken through the real road: parse, strategy, result targets,
// browser and page doubles. Only web addresses reach a browser, and links go
// into result forms escaped and filled in once.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "common/Variant.h"
#include "engine/FileUploadStrategy.h"
#include "engine/LinkFormat.h"
#include "engine/SlideShowStrategy.h"
#include "engine/WebBrowserImageTarget.h"
#include "support/BrowserDoubles.h"
#include "tests/integration/ServiceTestBase.h"
#include "support/DevService.h"
#include "support/TempFolder.h"
#include "tests/engine/StrategyArgs.h"
#include "tests/integration/StrategyRun.h"

namespace {

using vptest::Query;

std::function<CUploadStrategy*()> FileUpload(const std::vector<std::wstring>& paths)
{
    return [=]() -> CUploadStrategy* {
        auto* strategy = new CFileUploadStrategy;
        VARIANT items = vptest::PathArray(paths);
        Variant none;
        EXPECT_EQ(0, strategy->Initialize(items, *none.Get(), *none.Get(), *none.Get()));
        VariantClear(&items);
        return strategy;
    };
}

size_t Count(const std::wstring& text, const std::wstring& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

using HostileAnswerServiceTest = vptest::ServiceTestBase;

TEST_F(HostileAnswerServiceTest, OnlyWebAddressesOfAnAnswerReachTheBrowser)
{
    const std::wstring path = folder_.Write(L"one.swf", "FWS one");
    auto browser = vptest::BrowserWebBrowser::Create();
    auto run = [&](const std::string& answer, vptest::StrategyRecord& record) {
        service_.ArmAnswer(answer);
        vptest::StrategyOutcome outcome = vptest::RunStrategy(FileUpload({path}), {}, record, 60000, [&] {
            return new CCompositeImageTarget(new vptest::StrategyRecordTarget(&record),
                                             new CWebBrowserImageTarget(Query<IWebBrowser2>(browser).Get(), nullptr));
        });
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(1, outcome.uploaded);
    };

    // Read by the XML reader: the script addresses go, the rest stays.
    vptest::StrategyRecord hostile;
    run("<?xml version=\"1.0\"?><response><links><image_link>http://vellumpost.com/i/7/one.swf</image_link>"
        "<ad_link>javascript:alert(document.cookie)</ad_link><done_page>javascript:alert(1)</done_page>"
        "<thumb_html> </thumb_html></links></response>",
        hostile);
    EXPECT_TRUE(hostile.navigated.empty()) << testing::PrintToString(hostile.navigated);
    EXPECT_TRUE(browser->navigations.empty());
    ASSERT_EQ(1u, hostile.items.size());
    const CUploadResult& item = hostile.items[0];
    EXPECT_FALSE(item.adLink);
    // The blank thumbnail code gives way to the templates, around the image link.
    EXPECT_EQ(L"[URL=][IMG]http://vellumpost.com/i/7/one.swf[/IMG][/URL]", FormatLink(item, true, kLinkForum1));
    EXPECT_NE(std::wstring::npos, FormatLink(item, true, kLinkHtml).find(L"src=\"http://vellumpost.com/i/7/one.swf\""));

    // Read by the text scan: a good done page, scheme in capitals, is shown.
    vptest::StrategyRecord good;
    run("<links><image_link>http://vellumpost.com/i/8/one.swf</image_link>"
        "<done_page>HTTP://vellumpost.com/content.php?page=tdone&amp;id=8</done_page></links><br>",
        good);
    const std::wstring done = L"HTTP://vellumpost.com/content.php?page=tdone&id=8";
    EXPECT_EQ(std::vector<std::wstring>{done}, good.navigated);
    ASSERT_EQ(1u, browser->navigations.size());
    EXPECT_EQ(done, browser->navigations[0].url);
}

TEST_F(HostileAnswerServiceTest, LinksGoIntoTheResultsFormEscapedAndOnlyOnce)
{
    const std::wstring first = folder_.Write(L"first.swf", "FWS first");
    const std::wstring second = folder_.Write(L"second.swf", "FWS second");
    service_.ArmAnswer("<?xml version=\"1.0\"?><response><links>"
                       "<image_link>http://vellumpost.com/i/7/x\"&gt;&lt;img src=x onerror=alert(1)&gt;%next_item%.jpg"
                       "</image_link></links></response>",
                       2);
    auto page = vptest::BrowserPage::Create();
    auto form = vptest::BrowserElement::Create(L"form", vptest::BrowserElement::Type::Form);
    form->id = L"submit_form";
    page.document->AddElement(form);
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(FileUpload({first, second}), {}, record, 60000, [&] {
        return new CCompositeImageTarget(new vptest::StrategyRecordTarget(&record),
                                         new CWindowImageTarget(Query<IHTMLWindow2>(page.window).Get(), nullptr));
    });
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(2, outcome.uploaded);

    ASSERT_EQ(1u, page.document->created.size());
    const std::wstring html = page.document->created[0]->innerHTML;
    SCOPED_TRACE(testing::PrintToString(html));
    EXPECT_EQ(0u, html.find(L"<form id=\"submit_form\" method=\"post\" action=\"" +
                            service_.Url(L"/toolbar/pictures.php") + L"\">"));
    EXPECT_EQ(2u, Count(html, L"<option selected value=\"i/7/x&quot;&gt;&lt;img src=x onerror=alert(1)&gt;"
                              L"&#37;next_item&#37;.jpg\">"));
    EXPECT_EQ(2u, Count(html, L"<option "));
    EXPECT_EQ(2u, Count(html, L"name=\"public[]\" value=\"yes\""));
    EXPECT_EQ(std::wstring::npos, html.find(L"<img"));
    EXPECT_EQ(1, form->submitCount);
}

TEST_F(HostileAnswerServiceTest, SlideshowFormTakesLinksAsTheyCame)
{
    const std::wstring path = folder_.Write(L"slide.swf", "FWS slide");
    service_.ArmAnswer("<links><image_link>http://vellumpost.com/i/8/s\"%background%.jpg</image_link></links>");
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(
        [&]() -> CUploadStrategy* {
            auto* strategy = new CSlideShowStrategy;
            EXPECT_EQ(0, strategy->SetOption(L"background", *Variant(L"#fff\"").Get()));
            VARIANT items = vptest::PathArray({vptest::FileUrl(path)});
            Variant none;
            EXPECT_EQ(0, strategy->Initialize(items, *none.Get(), *none.Get(), *none.Get()));
            VariantClear(&items);
            return strategy;
        },
        {}, record);
    EXPECT_TRUE(outcome.finished);
    SCOPED_TRACE(testing::PrintToString(record.postForm));
    EXPECT_EQ(1u, Count(record.postForm, L"<option selected value=\"i/8/s&quot;&#37;background&#37;.jpg\">"));
    EXPECT_EQ(1u, Count(record.postForm, L"name=\"background\" value=\"#fff&quot;\""));
    EXPECT_EQ(1u, Count(record.postForm, L"#fff"));
}

}  // namespace
