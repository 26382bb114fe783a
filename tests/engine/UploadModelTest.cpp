// Items and their path rules, statistics texts, and the option values of
// Initialize in every form a caller can send them.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/ActionStatistics.h"
#include "engine/UploadItem.h"

namespace {

TEST(FileKindTest, ContentTypesByExtensionIgnoringCase)
{
    struct {
        const wchar_t* path;
        const char* type;
    } cases[] = {
        {L"a.jpg", "image/jpeg"},     {L"C:\\x\\B.JPG", "image/jpeg"}, {L"c.Jpe", "image/jpeg"},
        {L"d.jpeg", "image/jpeg"},    {L"e.png", "image/png"},         {L"f.gif", "image/gif"},
        {L"g.bmp", "image/bmp"},      {L"h.tif", "image/tiff"},        {L"i.TIFF", "image/tiff"},
        {L"j.swf", "application/x-shockwave-flash"},                   {L"k.flv", "video/x-flv"},
        {L"l.avi", nullptr},          {L"noextension", nullptr},       {L"dir.jpg\\file", nullptr},
        {L"", nullptr},
    };
    for (const auto& c : cases) {
        const char* type = ContentTypeFromPath(c.path);
        if (c.type)
            EXPECT_STREQ(c.type, type) << testing::PrintToString(std::wstring(c.path));
        else
            EXPECT_EQ(nullptr, type) << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(FileKindTest, VideoListComesFromTheAllFormatsFilter)
{
    EXPECT_EQ(L"*.flv;*.mpg;*.mpeg;*.mpe;*.avi;*.3gp;*.3g2;*.mov;*.mp4;*.m4a;*.mj2;*.m4v;*.wmv;*.mjpeg;*.vob;*.ogg;"
              L"*.divx;",
              VideoPatternList());
    for (const wchar_t* video : {L"clip.avi", L"CLIP.MP4", L"a.b.flv", L"x.3g2", L"y.divx"})
        EXPECT_TRUE(IsVideoPath(video)) << testing::PrintToString(std::wstring(video));
    for (const wchar_t* other : {L"a.jpg", L"noext", L"a.mp", L"a.mp44", L"a.vi"})
        EXPECT_FALSE(IsVideoPath(other)) << testing::PrintToString(std::wstring(other));
    EXPECT_TRUE(CUploadItem(L"a.wmv").IsVideo());
    EXPECT_FALSE(CUploadItem(L"a.png").IsVideo());
}

TEST(FileKindTest, VideoPatternsAreTheFieldAfterTheVideoLabel)
{
    EXPECT_EQ(L"*.a;*.b;", VideoPatternsFromFilter(L"All|*.x|Video files|*.a;*.b|Other|*.c|"));
    EXPECT_EQ(L"*.a;", VideoPatternsFromFilter(L"All|*.a|Video|*.a"));
    EXPECT_EQ(L"", VideoPatternsFromFilter(L"Video|*.a")) << "the label must follow a separator";
    EXPECT_EQ(L"", VideoPatternsFromFilter(L"Pictures|*.jpg|"));
}

TEST(FileAddressTest, FileUrlsBecomeLocalPaths)
{
    EXPECT_EQ(L"C:\\My Pictures\\a b.jpg", FileUrlToPath(L"file:///C:/My%20Pictures/a%20b.jpg"));
    EXPECT_EQ(L"C:\\x\\100%.jpg", FileUrlToPath(L"FILE:///C:/x/100%25.jpg"));
    EXPECT_EQ(L"C:\\x%zz\\a.jpg", FileUrlToPath(L"file:///C:/x%zz/a.jpg")) << "decoding stops at a bad escape";
    EXPECT_EQ(L"C:\\a%", FileUrlToPath(L"file:///C:/a%"));
    EXPECT_EQ(L"http://host/a%20b.jpg", FileUrlToPath(L"http://host/a%20b.jpg"));
    EXPECT_EQ(L"C:\\plain.jpg", FileUrlToPath(L"C:\\plain.jpg"));
    EXPECT_TRUE(CUploadItem(L"File:///c:/a.jpg").IsFileUrl());
    EXPECT_EQ(L"c:\\a.jpg", CUploadItem(L"File:///c:/a.jpg").LocalPath());
}

TEST(FileAddressTest, EscapesAreDecodedOnceAndAddressesThatChangeKindAreRefused)
{
    EXPECT_EQ(L"C:\\x\\%41.jpg", FileUrlToPath(L"file:///C:/x/%2541.jpg"));
    EXPECT_EQ(L"C:\\x%zz\\a b.jpg", FileUrlToPath(L"file:///C:/x%zz/a%20b.jpg"));
    // Refused: an escaped or raw NUL, and addresses whose decoded path is
    // another kind of file than the address names.
    const wchar_t rawNul[] = L"file:///C:/secret.txt\0.jpg";
    const wchar_t plainNul[] = L"C:\\secret.txt\0.jpg";
    for (const std::wstring& hostile :
         {std::wstring(L"file:///C:/secret.txt%00.jpg"), std::wstring(rawNul, sizeof(rawNul) / sizeof(wchar_t) - 1),
          std::wstring(plainNul, sizeof(plainNul) / sizeof(wchar_t) - 1), std::wstring(L"file:///C:/a.jp%67"),
          std::wstring(L"file:///C:/clip.%61vi")}) {
        EXPECT_EQ(L"", FileUrlToPath(hostile)) << testing::PrintToString(hostile);
    }
}

TEST(StatisticsTest, OperationAndSourceTexts)
{
    EXPECT_STREQ("upload", StatisticsOperationText(2 + 16));
    EXPECT_STREQ("toolbar", StatisticsSourceText(2 + 16));
    EXPECT_STREQ("transaload", StatisticsOperationText(3 + 32));
    EXPECT_STREQ("browser", StatisticsSourceText(3 + 32));
    EXPECT_STREQ("explorer", StatisticsSourceText(48));
    EXPECT_STREQ("tag_image", StatisticsOperationText(7));
    EXPECT_STREQ("unknown", StatisticsSourceText(7));
    EXPECT_STREQ("unknown", StatisticsOperationText(0));
    // Undefined codes stay inside the tables.
    EXPECT_STREQ("unknown", StatisticsOperationText(15));
    EXPECT_STREQ("unknown", StatisticsSourceText(0xF0));
    EXPECT_STREQ("unknown", StatisticsOperationText(-1));
}

}  // namespace
