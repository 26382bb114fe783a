// The blog strategy: one picture only, and the blog page of its short link
// once it is on the service.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "common/Variant.h"
#include "engine/PostToBlogStrategy.h"
#include "support/EngineFakes.h"
#include "tests/engine/StrategyArgs.h"

namespace {

struct NavigationTarget : ImageTarget {
    std::vector<std::wstring>* urls;
    explicit NavigationTarget(std::vector<std::wstring>* u) : urls(u) {}
    void Navigate(const wchar_t* url) override { urls->push_back(url); }
};

// Answers are read with the platform XML reader, which needs an apartment.
class PostToBlogStrategyTest : public testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(PostToBlogStrategyTest, OnlyOnePictureCanBePosted)
{
    CPostToBlogStrategy strategy;
    VARIANT two = vptest::PathArray({L"http://example.org/a.jpg", L"http://example.org/b.jpg"});
    EXPECT_EQ(E_FAIL, strategy.SetItems(two));
    VariantClear(&two);
    VARIANT none = vptest::PathArray({});
    EXPECT_EQ(E_FAIL, strategy.SetItems(none));
    VariantClear(&none);
    EXPECT_EQ(0, strategy.GetItemCount());

    VARIANT one = vptest::PathArray({L"http://example.org/a.jpg"});
    EXPECT_EQ(0, strategy.SetItems(one));
    VariantClear(&one);
    Variant single(L"http://example.org/c.txt");
    EXPECT_EQ(0, strategy.SetItems(*single.Get())) << "a single string is one item, of any type";
    EXPECT_EQ(2, strategy.GetItemCount());
    Variant number(7);
    EXPECT_EQ(E_INVALIDARG, strategy.SetItems(*number.Get()));
}

TEST_F(PostToBlogStrategyTest, PostedPictureOpensTheBlogPageOfItsShortLink)
{
    vptest::FakeImageUploader uploader;
    std::vector<std::wstring> urls;
    CPostToBlogStrategy strategy;
    strategy.SetUploader(&uploader);
    strategy.SetTarget(std::make_unique<NavigationTarget>(&urls));
    VARIANT items = vptest::PathArray({L"http://example.org/a.jpg"});
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(0, strategy.Initialize(items, empty, empty, empty));
    VariantClear(&items);
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    EXPECT_EQ("http://example.org/a.jpg", vptest::FormField(uploader.requests.at(0).body, "url"));
    ASSERT_EQ(0, strategy.DocumentComplete(L"<response><links><image_link>http://i.vellumpost.com/i/5/a.jpg"
                                           L"</image_link></links></response>"));
    EXPECT_EQ(std::vector<std::wstring>{L"http://www.vellumpost.com/blogpost/postblog.php?id=i/5/a.jpg"}, urls);
}

TEST_F(PostToBlogStrategyTest, FailedPictureOpensNothing)
{
    vptest::FakeImageUploader uploader;
    std::vector<std::wstring> urls;
    CPostToBlogStrategy strategy;
    strategy.SetUploader(&uploader);
    strategy.SetTarget(std::make_unique<NavigationTarget>(&urls));
    Variant item(L"http://example.org/gone.jpg");
    ASSERT_EQ(0, strategy.SetItems(*item.Get()));
    ASSERT_EQ(S_OK, strategy.UploadNextItem());
    uploader.progress.answers = {IDOK};
    EXPECT_EQ(0, strategy.DocumentComplete(
                     L"<response><links><error id=\"resource_not_found\">x</error></links></response>"));
    EXPECT_TRUE(urls.empty());
    EXPECT_EQ(1u, uploader.progress.questions.size());
}

}  // namespace
