// Handle ownership, the byte buffer's growth rules, the version texts, the
// host check and the synchronous HTTP client against a loopback server.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "common/ByteBuffer.h"
#include "common/Handle.h"
#include "common/HostCheck.h"
#include "common/HttpConnection.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/VersionStrings.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

namespace {

bool HandleIsOpen(HANDLE h)
{
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(HandleTest, AttachOfTheHeldHandleKeepsItOpenAndAnotherClosesIt)
{
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        Event event;
        event.Attach(first);
        event.Attach(first);
        EXPECT_TRUE(HandleIsOpen(first));
        event.Attach(second);
        EXPECT_FALSE(HandleIsOpen(first));
        EXPECT_EQ(second, event.Get());
    }
    EXPECT_FALSE(HandleIsOpen(second)) << "the destructor closes the handle";
}

TEST(HandleTest, NullAndInvalidHandleValueAreBothInvalid)
{
    File file;
    EXPECT_FALSE(file.IsValid());
    EXPECT_FALSE(file.Create(L"C:\\no\\such\\folder\\file.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0));
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Get());
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(0, file.Close()) << "closing an invalid handle does nothing";
}

TEST(HandleTest, FileReadsAndWritesCountTheBytesMoved)
{
    vptest::TempFolder folder;
    File file;
    ASSERT_TRUE(file.Create(folder.File(L"a.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0));
    EXPECT_TRUE(file.WriteDword(0x04030201));
    EXPECT_EQ(4u, file.Transferred());
    EXPECT_TRUE(file.WriteByte(5));
    EXPECT_EQ(5, file.Size());
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    BYTE bytes[8] = {};
    EXPECT_TRUE(file.Read(bytes, sizeof(bytes)));
    EXPECT_EQ(5u, file.Transferred());
    EXPECT_EQ(1, bytes[0]);
    EXPECT_EQ(4, bytes[3]);
    EXPECT_EQ(5, bytes[4]);
}

TEST(HandleTest, ProcessExRunsAndReportsItsEnd)
{
    ProcessEx process;
    wchar_t command[] = L"cmd.exe /c exit 7";
    ASSERT_EQ(1, process.Run(nullptr, command, nullptr, CREATE_NO_WINDOW));
    EXPECT_EQ(WAIT_OBJECT_0, process.Wait(30000));
    EXPECT_FALSE(process.IsRunning());
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(process.MainThread().IsValid());
}

TEST(ByteBufferTest, ReserveGrowsToRequestPlusStepOnlyWhenNeeded)
{
    ByteBuffer buffer(100);
    EXPECT_TRUE(buffer.Reserve(50));
    EXPECT_EQ(150u, buffer.Capacity());
    const BYTE* data = buffer.Data();
    EXPECT_TRUE(buffer.Reserve(120));
    EXPECT_EQ(data, buffer.Data()) << "no new block below the capacity";
    EXPECT_TRUE(buffer.Reserve(151));
    EXPECT_EQ(251u, buffer.Capacity());

    ByteBuffer defaults(0);
    defaults.AppendByte(1);
    EXPECT_EQ(4097u, defaults.Capacity()) << "a step of 0 means 4096";
}

TEST(ByteBufferTest, AppendsKeepContentAndCopiesAreExact)
{
    ByteBuffer buffer(4);
    buffer.AppendText("abc");
    buffer.AppendText("");
    buffer.AppendText(nullptr);
    buffer.Append(nullptr, 5);
    buffer.Append("defgh", 5);
    buffer.AppendByte('!');
    ASSERT_EQ(9u, buffer.Size());
    EXPECT_EQ(0, memcmp("abcdefgh!", buffer.Data(), 9));

    ByteBuffer copy(buffer);
    EXPECT_EQ(9u, copy.Capacity());
    EXPECT_EQ(0, memcmp(buffer.Data(), copy.Data(), 9));
    buffer.Clear();
    EXPECT_EQ(0u, buffer.Size());
    EXPECT_EQ(9u, copy.Size());
}

TEST(ByteBufferTest, GrowthThatWouldWrapFailsAndLeavesTheBufferAlone)
{
    ByteBuffer buffer;
    buffer.AppendText("keep");
    EXPECT_FALSE(buffer.Reserve(SIZE_MAX - 10));
    EXPECT_FALSE(buffer.Append("x", SIZE_MAX));
    EXPECT_FALSE(buffer.SetSize(SIZE_MAX));
    ASSERT_EQ(4u, buffer.Size());
    EXPECT_EQ(0, memcmp("keep", buffer.Data(), 4));
}

TEST(ByteBufferTest, FileRangesAppendWhatIsThere)
{
    vptest::TempFolder folder;
    std::wstring path = folder.Write(L"f.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0));
    ByteBuffer buffer;
    EXPECT_TRUE(buffer.AppendFileRange(file, 3, 4));
    EXPECT_TRUE(buffer.AppendFileRange(file, 8, 100));
    ASSERT_EQ(6u, buffer.Size());
    EXPECT_EQ(0, memcmp("345689", buffer.Data(), 6));
    EXPECT_TRUE(buffer.AppendFile(file));
    EXPECT_EQ(16u, buffer.Size());
}

TEST(VersionStringsTest, ModuleVersionGivesEveryText)
{
    VersionStrings::Initialize();
    EXPECT_EQ(L"4.8.3.75", VersionStrings::ProductVersion());
    EXPECT_EQ(L"IEVellumpostToolbar-4.8.3.75", VersionStrings::VersionCookie());
    EXPECT_EQ(L"Vellumpost Toolbar 4.8.3", VersionStrings::ProductName());
    EXPECT_EQ(0u, VersionStrings::UserAgent().find(L"Vellumpost Toolbar 4.8.3 (WinNT "))
        << "user agent: " << testing::PrintToString(VersionStrings::UserAgent());
    EXPECT_EQ(L')', VersionStrings::UserAgent().back());
}

TEST(VersionStringsTest, FieldRulesAndUserAgentForm)
{
    VersionNumbers v = VersionStrings::FromFixedInfo(MAKELONG(1, 2), MAKELONG(3, 7));
    EXPECT_EQ(2, v.major);
    EXPECT_EQ(1, v.minor);
    EXPECT_EQ(7, v.build);
    EXPECT_EQ(3, v.revision);
    EXPECT_EQ(4, VersionStrings::FromFixedInfo(MAKELONG(260, 2), 0).minor) << "minor keeps its low 8 bits";

    VersionNumbers x{2, 1, 7, 3};
    OsVersion xp{true, 5, 1, L"Service Pack 2"};
    EXPECT_EQ(L"Vellumpost Toolbar 2.1.7 (WinNT 5.1 Service Pack 2)", VersionStrings::FormatUserAgent(x, &xp));
    OsVersion nine{false, 4, 10, L""};
    EXPECT_EQ(L"Vellumpost Toolbar 2.1.7 (Windows 4.10 )", VersionStrings::FormatUserAgent(x, &nine));
    EXPECT_EQ(L"Vellumpost Toolbar 2.1.7", VersionStrings::FormatUserAgent(x, nullptr));
}

TEST(HostCheckTest, OnlyTheBrowserProgramCounts)
{
    EXPECT_TRUE(IsBrowserProgramPath(L"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE"));
    EXPECT_TRUE(IsBrowserProgramPath(L"c:\\x\\iexplore.exe"));
    EXPECT_TRUE(IsBrowserProgramPath(L"noslash"));
    EXPECT_FALSE(IsBrowserProgramPath(L"C:\\Windows\\explorer.exe"));
    EXPECT_FALSE(IsBrowserProgramPath(L"C:\\x\\iexplore.exe.bak"));
    EXPECT_FALSE(HostedInBrowser()) << "a test program is not the browser";
}

class HttpConnectionTest : public testing::Test {
protected:
    vptest::LoopbackServer server_;
};

TEST_F(HttpConnectionTest, StatusOkGivesTheWholeBody)
{
    std::string body(5000, 'z');
    body += "end";
    server_.AddResponse(vptest::LoopbackServer::Response(200, body));
    HttpConnection http;
    ASSERT_TRUE(http.OpenGetStream(server_.Url(L"/update.xml?x=1").c_str()));
    std::string text;
    ASSERT_TRUE(http.ReadAll(text));
    EXPECT_EQ(body, text);
    auto requests = server_.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(0u, requests[0].find("GET /update.xml?x=1 HTTP/1.1\r\n")) << requests[0];
    EXPECT_NE(std::string::npos, requests[0].find("User-Agent: Vellumpost Toolbar"));
}

TEST_F(HttpConnectionTest, NotFoundFailsAndLogsTheStatus)
{
    RegKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, SettingsKeyPath()));
    DWORD on = 1;
    RegSetValueExW(key, L"log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
    LogWriter log("HttpConnection");
    std::string before = vptest::ReadFileBytes(log.Path());

    server_.AddResponse(vptest::LoopbackServer::Response(404, "missing"));
    HttpConnection http;
    ASSERT_TRUE(http.OpenGetStream(server_.Url(L"/nothing").c_str()));
    std::string text;
    EXPECT_FALSE(http.ReadAll(text));
    std::string after = vptest::ReadFileBytes(log.Path());
    EXPECT_NE(std::string::npos, after.find("HttpConnection\t- Invalid status: 404\r\n", before.size()));
}

TEST_F(HttpConnectionTest, BadAddressesFailToOpen)
{
    HttpConnection http;
    EXPECT_FALSE(http.Open(nullptr, L"GET"));
    HttpConnection refused;
    EXPECT_FALSE(refused.OpenGetStream(L"http://127.0.0.1:1/"));
}

}  // namespace
