// The choice lists of the upload dialogs: texts from the string table with
// built-in replacements, the carrying over of a size choice between the
// picture and slideshow lists, and the slideshow values the service takes.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SettingsStore.h"
#include "dialogs/SizeLists.h"
#include "dialogs/UploadParameters.h"

namespace {

TEST(SizeListsTest, ListsComeFromTheStringTableInOrder)
{
    ASSERT_EQ(9u, PictureSizeTexts().size());
    EXPECT_EQ(L"100x75 (avatar)", PictureSizeTexts().front());
    EXPECT_EQ(L"800x600 (15-inch monitor)", PictureSizeTexts()[4]);
    EXPECT_EQ(L"Optimize without resizing", PictureSizeTexts().back());
    ASSERT_EQ(3u, SlideshowSizeTexts().size());
    EXPECT_EQ(L"426x320 (Medium)", SlideshowSizeTexts()[1]);
    ASSERT_EQ(4u, EffectTexts().size());
    EXPECT_EQ(L"Stripes", EffectTexts()[3]);
    ASSERT_EQ(15u, BackgroundTexts().size());
    EXPECT_EQ(L"Yellow", BackgroundTexts()[14]);
}

TEST(SizeListsTest, MissingOrEmptyStringsFallBackEntryByEntry)
{
    std::map<UINT, std::wstring> table = {{250, L"from table"}, {251, L""}};
    auto load = [&](UINT id) { return table.count(id) ? table[id] : std::wstring(); };
    std::vector<std::wstring> list = LoadTextTable(250, {L"a", L"b", L"c"}, load);
    EXPECT_EQ((std::vector<std::wstring>{L"from table", L"b", L"c"}), list);
}

TEST(SizeListsTest, PictureSizesMapOntoSlideshowSizes)
{
    const int expected[] = {0, 0, 0, 2, 2, 2, 2, 2, 1};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(expected[i], SlideshowIndexForPictureIndex(i)) << "picture index " << i;
    EXPECT_EQ(1, SlideshowIndexForPictureIndex(9));
    EXPECT_EQ(1, SlideshowIndexForPictureIndex(-1));
    EXPECT_EQ(1, SlideshowIndexForPictureIndex(0x7FFFFFFF));
}

TEST(SizeListsTest, SlideshowSizesMapBackOntoPictureSizes)
{
    EXPECT_EQ(2, PictureIndexForSlideshowIndex(0));
    EXPECT_EQ(3, PictureIndexForSlideshowIndex(1));
    EXPECT_EQ(3, PictureIndexForSlideshowIndex(2));
    EXPECT_EQ(2, PictureIndexForSlideshowIndex(3));
    EXPECT_EQ(2, PictureIndexForSlideshowIndex(-7));
}

TEST(SizeListsTest, TheRoundTripsOfTheNamedSizes)
{
    // "800x600" becomes "640x480 (Big)" and comes back as "640x480 (for message boards)".
    int slideshow = SlideshowIndexForPictureIndex(4);
    EXPECT_EQ(L"640x480 (Big)", ListText(SlideshowSizeTexts(), slideshow));
    EXPECT_EQ(L"640x480 (for message boards)", ListText(PictureSizeTexts(), PictureIndexForSlideshowIndex(slideshow)));
    EXPECT_EQ(L"426x320 (Medium)", ListText(SlideshowSizeTexts(), SlideshowIndexForPictureIndex(8)));
}

TEST(SizeListsTest, StoredResizeChoicesGiveListIndices)
{
    EXPECT_EQ(0, PictureIndexForResizeTo(kResizeToFirst));
    EXPECT_EQ(8, PictureIndexForResizeTo(kResizeToLast));
    EXPECT_EQ(2, PictureIndexForResizeTo(kResizeToLast + 1)) << "out of range reads as the default";
    EXPECT_EQ(2, PictureIndexForResizeTo(0));
    EXPECT_EQ(L"", ListText(PictureSizeTexts(), 9));
    EXPECT_EQ(L"", ListText(PictureSizeTexts(), -1));
}

TEST(SlideshowParametersTest, EffectAndBackgroundValues)
{
    EXPECT_EQ(L"trans0", CSlideshowParameters::EffectValue(0));
    EXPECT_EQ(L"trans3", CSlideshowParameters::EffectValue(3));
    EXPECT_EQ(L"trans0", CSlideshowParameters::EffectValue(4));
    EXPECT_EQ(L"trans0", CSlideshowParameters::EffectValue(-1));
    const wchar_t* colours[] = {L"#000000", L"#0000FF", L"#FF00FF", L"#808080", L"#008000",
                                L"#00FF00", L"#800000", L"#000080", L"#808000", L"#800080",
                                L"#FF0000", L"#C0C0C0", L"#008080", L"#FFFFFF", L"#FFFF00"};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(colours[i], CSlideshowParameters::BackgroundValue(i)) << i;
    EXPECT_EQ(L"#000000", CSlideshowParameters::BackgroundValue(15));
    CSlideshowParameters parameters;
    parameters.effectIndex = 2;
    parameters.backgroundIndex = 13;
    EXPECT_EQ(L"trans2", parameters.Effect());
    EXPECT_EQ(L"#FFFFFF", parameters.Background());
}

}  // namespace
