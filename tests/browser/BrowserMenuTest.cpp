// The browser road of the right-click menu over page doubles: which address
// each picture goes by (local copy through the clipboard, the address itself,
// the user's own file, or nothing), login and tags, and "Upload All Images".
#include <gtest/gtest.h>

#include "browser/ContextMenuSupport.h"
#include "common/SettingsStore.h"
#include "engine/TemporaryFiles.h"
#include "engine/UploadItem.h"
#include "resources/resource.h"
#include "support/BrowserDoubles.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

class BrowserMenuTest : public ContextMenuTest {
protected:
    // A page at pageUrl whose window's event is a right click on picture.
    BrowserPage PageWith(const std::wstring& pageUrl, const BrowserPtr<BrowserPicture>& picture)
    {
        BrowserPage page = BrowserPage::Create();
        page.document->url = pageUrl;
        page.window->event = BrowserEvent::Create(picture, 300, 200);
        return page;
    }

    HRESULT Run(HRESULT (STDMETHODCALLTYPE IImageContextMenu::*command)(IDispatch*), const BrowserPage& page)
    {
        ComPtr<IImageContextMenu> menu = CImageContextMenu::Make<IImageContextMenu>();
        return (menu.Get()->*command)(Query<IDispatch>(page.window).Get());
    }

    // The single item of the last upload; the test fails without one.
    std::wstring LastItem() const
    {
        if (!Last() || Last()->items.size() != 1) {
            ADD_FAILURE() << "no upload of one item";
            return std::wstring();
        }
        return Last()->items[0];
    }
};

TEST_F(BrowserMenuTest, WebPicturesAreCopiedLocallyServicePicturesAndTransloadsGoByAddress)
{
    auto picture = BrowserPicture::Create(L"http://example.com/photos/sun%20set%2F..%5Cx.jpg?size=big", 50, 40);
    BrowserPage page = PageWith(L"http://example.com/gallery.html", picture);
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, page));
    EXPECT_EQ(L"TransloadUrls", Last()->entry);
    EXPECT_EQ(asFromBrowser + asUpload, Last()->action);
    const std::wstring copy = LastItem();
    ASSERT_TRUE(StartsWithFileUrl(copy)) << copy;
    const std::wstring path = FileUrlToPath(copy);
    // Inside the temporary folder, named from safe characters only, a file
    // the product made (and so removed after its upload).
    EXPECT_TRUE(IsInsideFolder(path, UserTempFolder())) << path;
    EXPECT_EQ(std::wstring::npos, path.find(L"..")) << path;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    EXPECT_TRUE(RemoveTemporaryFile(path));

    // A second copy of the same picture gets its own file.
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::PostImageToBlog, page));
    EXPECT_EQ(L"PostToBlog", Last()->entry);
    EXPECT_EQ(asFromBrowser + asPostToBlog, Last()->action);
    EXPECT_NE(copy, LastItem());
    EXPECT_TRUE(RemoveTemporaryFile(FileUrlToPath(LastItem())));

    // Transloads never copy; an incomplete picture goes by its address.
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::TransloadImage, page));
    EXPECT_EQ(picture->src, LastItem());
    EXPECT_EQ(asFromBrowser + asTransaload, Last()->action);
    picture->complete = false;
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, page));
    EXPECT_EQ(picture->src, LastItem());
    // A Copy that put nothing on the clipboard: the bitmap there from before
    // (the other picture's) is not taken for this one.
    auto uncopyable = BrowserPicture::Create(L"http://example.com/other.jpg", 0, 0);
    picture->complete = true;
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, page));
    RemoveTemporaryFile(FileUrlToPath(LastItem()));
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, PageWith(L"http://example.com/", uncopyable)));
    EXPECT_EQ(uncopyable->src, LastItem());

    // A picture already on the service is sent by its address, with no copy.
    auto hosted = BrowserPicture::Create(L"http://i.VELLUMPOST.com/a/b.jpg", 50, 40);
    BrowserPage hostedPage = PageWith(L"http://example.com/", hosted);
    const size_t ranges = hostedPage.document->body->CallCount(L"createControlRange");
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, hostedPage));
    EXPECT_EQ(hosted->src, LastItem());
    EXPECT_EQ(ranges, hostedPage.document->body->CallCount(L"createControlRange"));
}

TEST_F(BrowserMenuTest, LocalPicturesOnlyFromLocalPagesAndOnlyPlainDrivePaths)
{
    auto own = BrowserPicture::Create(L"file:///C:/Pictures/a%2520b.jpg", 50, 40);
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, PageWith(L"file:///C:/Pictures/index.html", own)));
    EXPECT_EQ(L"file:///C:/Pictures/a%2520b.jpg", LastItem());  // decoded once: "a%20b.jpg"

    const size_t made = RecordingUploader::Made().size();
    for (const wchar_t* refused : {L"file:///C:/Windows/win.ini", L"file://///server/share/a.jpg",
                                   L"file:///%5C%5Cserver/share/a.jpg", L"file:///C:/a%0d.jpg",
                                   L"file:///%5C%5C%3F%5CC:/a.jpg", L"javascript:alert(1)", L"data:image/png,x"}) {
        auto picture = BrowserPicture::Create(refused, 50, 40);
        EXPECT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, PageWith(L"file:///C:/index.html", picture))) << refused;
    }
    // A web page cannot name the user's files at all.
    EXPECT_EQ(S_OK, Run(&IImageContextMenu::UploadImage, PageWith(L"http://example.com/", own)));
    EXPECT_EQ(made, RecordingUploader::Made().size());
    EXPECT_EQ(0, resultWindows - static_cast<int>(made));
}

TEST_F(BrowserMenuTest, TaggingAsksForLoginFirstThenForTags)
{
    auto picture = BrowserPicture::Create(L"http://i.vellumpost.com/a/b.jpg", 50, 40);
    BrowserPage page = PageWith(L"http://example.com/", picture);
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::TagImage, page));
    ASSERT_EQ(1u, logins.size());
    EXPECT_EQ(300, logins[0].x);
    EXPECT_EQ(200, logins[0].y);
    EXPECT_TRUE(taggedItems.empty());
    EXPECT_TRUE(RecordingUploader::Made().empty());

    SettingsStore().SetLogged(true);
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::TagImage, page));
    EXPECT_EQ(L"UploadQueue", Last()->entry);
    EXPECT_EQ(asFromBrowser + asTagImage, Last()->action);
    EXPECT_EQ(L"sea sand", Last()->tags);
    EXPECT_EQ(picture->src, LastItem());

    // Without a picture under the click nothing happens.
    page.window->event = BrowserEvent::Create(BrowserPtr<BrowserPicture>(), 0, 0);
    EXPECT_EQ(S_OK, Run(&IImageContextMenu::TagImage, page));
    EXPECT_EQ(1u, RecordingUploader::Made().size());
}

TEST_F(BrowserMenuTest, UploadAllImagesListsRealPicturesAndUploadsTheKeptOnes)
{
    BrowserPage empty = PageWith(L"http://example.com/", BrowserPtr<BrowserPicture>());
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadAllImages, empty));
    EXPECT_EQ(std::vector<UINT>{IDS_NOTHING_TO_UPLOAD}, messages);
    EXPECT_TRUE(imageLists.empty());

    BrowserPage page = PageWith(L"http://example.com/", BrowserPtr<BrowserPicture>());
    auto photo = BrowserPicture::Create(L"http://example.com/photo.jpg", 120, 90);
    auto pixel = BrowserPicture::Create(L"http://example.com/pixel.gif", 1, 1);
    auto loading = BrowserPicture::Create(L"http://example.com/late.png", 300, 200);
    loading->complete = false;
    auto script = BrowserPicture::Create(L"javascript:void(0)", 10, 10);
    page.document->images = {photo, pixel, loading, script};

    imagesResult = S_FALSE;
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadAllImages, page));
    ASSERT_EQ(1u, imageLists.size());
    EXPECT_EQ((std::vector<std::wstring>{photo->src, loading->src}), imageLists[0].addresses);
    ASSERT_EQ(2u, imageLists[0].sizes.size());
    EXPECT_EQ(120, imageLists[0].sizes[0].width);
    EXPECT_EQ(0, imageLists[0].sizes[1].width);
    EXPECT_TRUE(RecordingUploader::Made().empty());
    EXPECT_EQ(0u, page.document->body->CallCount(L"createControlRange")) << "nothing is copied before the user chose";

    imagesResult = S_OK;
    imagesChoice.addresses = {photo->src, loading->src};
    imagesChoice.slideshow = true;
    imagesChoice.effect = L"trans2";
    ASSERT_EQ(S_OK, Run(&IImageContextMenu::UploadAllImages, page));
    ASSERT_TRUE(Last());
    EXPECT_EQ(L"CreateSlideshow", Last()->entry);
    EXPECT_EQ(asFromBrowser + asSlideshow, Last()->action);
    EXPECT_EQ(L"trans2", Last()->effect);
    ASSERT_EQ(2u, Last()->items.size());
    EXPECT_TRUE(RemoveTemporaryFile(FileUrlToPath(Last()->items[0]))) << Last()->items[0];
    EXPECT_EQ(loading->src, Last()->items[1]);
}

}  // namespace
}  // namespace vptest
