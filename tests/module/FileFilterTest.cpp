// The file-dialog filter strings: "|"-separated pairs of a display name and a
// ";"-separated pattern list, each pair ending in "|" so that the dialog gets
// its double NUL; and the video list that the upload engine reads back from
// the all-formats filter.
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace {

std::wstring Load(UINT id)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::wstring::npos; start = end + 1)
        fields.push_back(text.substr(start, end - start));
    fields.push_back(text.substr(start));
    return fields;
}

struct FilterEntry {
    std::wstring name;
    std::vector<std::wstring> patterns;
};

// Checks the shape of a filter and returns its entries.
std::vector<FilterEntry> ParseFilter(UINT id)
{
    std::wstring text = Load(id);
    std::vector<FilterEntry> entries;
    EXPECT_FALSE(text.empty()) << "filter " << id;
    if (text.empty()) return entries;
    EXPECT_EQ(L'|', text.back()) << "filter " << id << " must end with \"|\": " << text;
    std::vector<std::wstring> fields = Split(text.substr(0, text.size() - 1), L'|');
    EXPECT_EQ(0u, fields.size() % 2) << "filter " << id << " is not made of pairs: " << text;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        FilterEntry entry{fields[i], Split(fields[i + 1], L';')};
        EXPECT_FALSE(entry.name.empty()) << "filter " << id << " entry " << i / 2;
        for (const std::wstring& pattern : entry.patterns) {
            EXPECT_EQ(0u, pattern.find(L"*.")) << "filter " << id << ": " << pattern;
            EXPECT_GT(pattern.size(), 2u) << "filter " << id << ": " << pattern;
            EXPECT_EQ(std::wstring::npos, pattern.find_first_of(L" |", 0)) << pattern;
        }
        entries.push_back(entry);
    }
    return entries;
}

// The upload engine's rule: find "|Video", skip to the "|" after it, take the
// text up to the next "|" and append ";".
std::wstring VideoListByRule(const std::wstring& filter)
{
    size_t video = filter.find(L"|Video");
    if (video == std::wstring::npos) return L"";
    size_t start = filter.find(L'|', video + 1);
    if (start == std::wstring::npos) return L"";
    size_t end = filter.find(L'|', start + 1);
    if (end == std::wstring::npos) return L"";
    return filter.substr(start + 1, end - start - 1) + L";";
}

const std::vector<std::wstring> kVideoPatterns = {
    L"*.flv", L"*.mpg", L"*.mpeg", L"*.mpe", L"*.avi", L"*.3gp", L"*.3g2", L"*.mov", L"*.mp4",
    L"*.m4a", L"*.mj2", L"*.m4v", L"*.wmv", L"*.mjpeg", L"*.vob", L"*.ogg", L"*.divx"};

// Extensions with a content type of their own, sent as pictures or Flash.
const std::vector<std::wstring> kTypedPatterns = {
    L"*.jpg", L"*.jpeg", L"*.jpe", L"*.png", L"*.gif", L"*.bmp", L"*.tif", L"*.tiff", L"*.swf", L"*.flv"};

std::set<std::wstring> Patterns(const std::vector<FilterEntry>& entries)
{
    std::set<std::wstring> all;
    for (const auto& entry : entries) all.insert(entry.patterns.begin(), entry.patterns.end());
    return all;
}

TEST(FileFilter, EveryFilterIsMadeOfNamePatternPairs)
{
    for (UINT id : {IDS_FILTER_PICTURES, IDS_FILTER_VIDEOS, IDS_FILTER_ALL}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(ParseFilter(id).empty());
    }
}

TEST(FileFilter, VideoListFoundByTheEnginesRuleIsExactlyTheVideoPatterns)
{
    std::wstring list = VideoListByRule(Load(IDS_FILTER_ALL));
    ASSERT_FALSE(list.empty()) << Load(IDS_FILTER_ALL);
    std::vector<std::wstring> found = Split(list.substr(0, list.size() - 1), L';');
    EXPECT_EQ(kVideoPatterns, found);
    // A path is a video when "*." + extension + ";" occurs in the list.
    EXPECT_NE(std::wstring::npos, list.find(L"*.divx;"));
    EXPECT_EQ(std::wstring::npos, list.find(L"*.jpg;"));
    EXPECT_EQ(std::wstring::npos, list.find(L"*.mp;"));
}

TEST(FileFilter, AllFormatsComesFirstAndCoversEveryOtherEntry)
{
    std::vector<FilterEntry> entries = ParseFilter(IDS_FILTER_ALL);
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(L"All supported formats", entries[0].name);
    std::set<std::wstring> first(entries[0].patterns.begin(), entries[0].patterns.end());
    EXPECT_EQ(first.size(), entries[0].patterns.size()) << "a pattern is listed twice";
    std::set<std::wstring> rest = Patterns({entries.begin() + 1, entries.end()});
    EXPECT_EQ(first, rest);

    std::set<std::wstring> expected(kVideoPatterns.begin(), kVideoPatterns.end());
    expected.insert(kTypedPatterns.begin(), kTypedPatterns.end());
    EXPECT_EQ(expected, first);
}

TEST(FileFilter, PictureAndVideoFiltersKeepToTheirKind)
{
    std::set<std::wstring> videos(kVideoPatterns.begin(), kVideoPatterns.end());
    std::set<std::wstring> pictures = Patterns(ParseFilter(IDS_FILTER_PICTURES));
    EXPECT_EQ((std::set<std::wstring>{L"*.jpg", L"*.jpeg", L"*.jpe", L"*.png", L"*.gif", L"*.bmp", L"*.tif",
                                      L"*.tiff"}),
              pictures);
    EXPECT_EQ(videos, Patterns(ParseFilter(IDS_FILTER_VIDEOS)));
}

}  // namespace
