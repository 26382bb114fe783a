// The log line format, the on/off switch and whole lines from two processes
// writing at once. Every test writes under a category of its own, because the
// log file is shared by all processes of the prefix.
#include <windows.h>

#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

void SetLogSetting(DWORD value)
{
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

std::string UniqueCategory(const char* base)
{
    std::ostringstream name;
    name << base << GetCurrentProcessId() << "_" << GetTickCount();
    return name.str();
}

// Lines of the log that start with the category (CR LF kept).
std::vector<std::string> LinesOf(const std::wstring& path, const std::string& category)
{
    std::string all = vptest::ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find("\r\n", start);
        size_t next = end == std::string::npos ? all.size() : end + 2;
        std::string line = all.substr(start, next - start);
        if (line.compare(0, category.size() + 1, category + "\t") == 0) lines.push_back(line);
        start = next;
    }
    return lines;
}

TEST(LogWriterTest, LineIsCategoryTabHyphenBlankMessageExtraCrLf)
{
    SetLogSetting(1);
    std::string category = UniqueCategory("Format");
    LogWriter log(category.c_str());
    ASSERT_TRUE(log.Enabled());
    ASSERT_FALSE(log.Path().empty());
    EXPECT_NE(std::wstring::npos, log.Path().find(L"Low\\VellumpostToolbar\\VellumpostToolbar.log"))
        << "the low-integrity application-data folder holds the log";

    log.Write("Try to open file: ", "C:\\a.jpg");
    log.Write("UploadNextItem...");
    log.Write(nullptr, static_cast<const char*>(nullptr));
    log.Write("wide: ", L"caf\u00e9");
    log.Format("UploadStrategy has been created 0x%x", 0xbeefu);

    auto lines = LinesOf(log.Path(), category);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(category + "\t- Try to open file: C:\\a.jpg\r\n", lines[0]);
    EXPECT_EQ(category + "\t- UploadNextItem...\r\n", lines[1]);
    EXPECT_EQ(category + "\t- wide: caf\xe9\r\n", lines[2]) << "wide text goes out in the ANSI code page";
    EXPECT_EQ(category + "\t- UploadStrategy has been created 0xbeef\r\n", lines[3]);
}

TEST(LogWriterTest, FormatCutsLongOutputAt511Characters)
{
    SetLogSetting(1);
    std::string category = UniqueCategory("Long");
    LogWriter log(category.c_str());
    std::string longText(2000, 'x');
    log.Format("%s", longText.c_str());
    auto lines = LinesOf(log.Path(), category);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(category.size() + 3 + 511 + 2, lines[0].size());
}

TEST(LogWriterTest, NothingIsWrittenUnlessTheSettingIsExactlyOne)
{
    for (DWORD value : {0u, 2u}) {
        SetLogSetting(value);
        std::string category = UniqueCategory("Off");
        LogWriter log(category.c_str());
        EXPECT_FALSE(log.Enabled());
        log.Write("must not appear");
        SetLogSetting(1);
        LogWriter on("probe");
        EXPECT_TRUE(LinesOf(on.Path(), category).empty()) << "log = " << value;
    }
}

TEST(LogWriterTest, TheSettingIsReadWhenTheWriterIsMade)
{
    SetLogSetting(0);
    LogWriter before("x");
    SetLogSetting(1);
    EXPECT_FALSE(before.Enabled());
    EXPECT_TRUE(LogWriter("x").Enabled());
}

TEST(LogWriterTest, LinesForAnUnknownLogFileAreDroppedAtOnce)
{
    SetLogSetting(1);
    // The data folder comes from the user's shell folders: make it one that is not there.
    RegKey folders;
    ASSERT_TRUE(folders.Create(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders"));
    const wchar_t missing[] = L"C:\\vp-no-such-folder\\data";
    RegSetValueExW(folders, L"Local AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(missing), sizeof(missing));
    LogWriter log("Nowhere");
    ASSERT_TRUE(log.Enabled());
    ASSERT_TRUE(log.Path().empty()) << "the data folder must be unknown here";
    const DWORD start = GetTickCount();
    for (int i = 0; i < 20; ++i) log.Format("line %d", i);
    EXPECT_LT(GetTickCount() - start, 2000u) << "each line waited out its retries";
}

VP_TEST_CHILD(LogWriterChild)
{
    if (argc < 2) return 2;
    LogWriter log(argv[0]);
    if (!log.Enabled()) return 3;
    std::string payload(200, argv[1][0]);
    for (int i = 0; i < 500; ++i) log.Format("%04d %s", i, payload.c_str());
    return 0;
}

TEST(LogWriterTest, TwoProcessesWritingAtOnceLeaveWholeLines)
{
    SetLogSetting(1);
    std::string category = UniqueCategory("Proc");
    std::wstring wideCategory(category.begin(), category.end());
    HANDLE a = vptest::StartChild("LogWriterChild", {wideCategory, L"a"});
    HANDLE b = vptest::StartChild("LogWriterChild", {wideCategory, L"b"});
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0, vptest::WaitChild(a, 90000));
    EXPECT_EQ(0, vptest::WaitChild(b, 90000));

    LogWriter log("probe");
    auto lines = LinesOf(log.Path(), category);
    ASSERT_EQ(1000u, lines.size());
    std::set<std::string> seen;
    for (const auto& line : lines) {
        // category, separator, 4 digits, blank, 200 times one letter, CR LF
        ASSERT_EQ(category.size() + 3 + 5 + 200 + 2, line.size()) << line;
        char letter = line[category.size() + 3 + 5];
        EXPECT_EQ(std::string(200, letter), line.substr(category.size() + 8, 200));
        seen.insert(line);
    }
    EXPECT_EQ(1000u, seen.size());
}

}  // namespace
