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
#include "dialogs/SlideshowChoiceLists.h"
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

TEST(SizeListsTest, UnknownIndicesMapOntoTheMiddleChoices)
{
    for (int index : {-1, 9, 0x7FFFFFFF}) EXPECT_EQ(1, SlideshowIndexForPictureIndex(index)) << index;
    for (int index : {-7, 3}) EXPECT_EQ(2, PictureIndexForSlideshowIndex(index)) << index;
}

TEST(SizeListsTest, SwitchingListsKeepsASimilarSize)
{
    EXPECT_EQ(L"320x240 (Small)", ListText(SlideshowSizeTexts(), SlideshowIndexForPictureIndex(0)));
    EXPECT_EQ(L"640x480 (Big)", ListText(SlideshowSizeTexts(), SlideshowIndexForPictureIndex(3)));
    EXPECT_EQ(L"640x480 (Big)", ListText(SlideshowSizeTexts(), SlideshowIndexForPictureIndex(7)));
    EXPECT_EQ(L"320x240 (for websites and email)", ListText(PictureSizeTexts(), PictureIndexForSlideshowIndex(0)));
    EXPECT_EQ(L"640x480 (for message boards)", ListText(PictureSizeTexts(), PictureIndexForSlideshowIndex(1)));
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
    EXPECT_EQ(L"#000000", CSlideshowParameters::BackgroundValue(0));
    EXPECT_EQ(L"#FF00FF", CSlideshowParameters::BackgroundValue(2));
    EXPECT_EQ(L"#C0C0C0", CSlideshowParameters::BackgroundValue(11));
    EXPECT_EQ(L"#FFFF00", CSlideshowParameters::BackgroundValue(14));
    EXPECT_EQ(L"#FFFFFF", CSlideshowParameters::BackgroundValue(15)) << "outside the list: white";
    EXPECT_EQ(L"#FFFFFF", CSlideshowParameters::BackgroundValue(-1));
    CSlideshowParameters parameters;
    parameters.effectIndex = 2;
    parameters.backgroundIndex = 13;
    EXPECT_EQ(L"trans2", parameters.Effect());
    EXPECT_EQ(L"#FFFFFF", parameters.Background());
}

TEST(SlideshowParametersTest, StoredIndicesOutsideAListAreClamped)
{
    EXPECT_EQ(3, ClampListIndex(9, 4, 0)) << "past the end: the last entry";
    EXPECT_EQ(1, ClampListIndex(-1, 3, 1)) << "nothing stored: the default";
    EXPECT_EQ(0, ClampListIndex(-5, 3, -1));
    EXPECT_EQ(-1, ClampListIndex(0, 0, 0)) << "an empty list selects nothing";
}

}  // namespace
