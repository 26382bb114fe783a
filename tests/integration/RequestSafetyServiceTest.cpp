// Hostile local names and page values on the way to the development service:
// file addresses that decode to another file, names long enough to crowd the
// temporary names, and tags and file names that would break the request's
// lines. What the service received is checked against what was meant.
#include <windows.h>
#include <oleauto.h>

#include <gdiplus.h>

#include <gtest/gtest.h>

#include "engine/FileUploadStrategy.h"
#include "support/Pictures.h"
#include "support/Sha256.h"
#include "tests/engine/StrategyArgs.h"
#include "tests/integration/ServiceTestBase.h"
#include "tests/integration/StrategyRun.h"

namespace {

using vptest::RecordField;

// A VT_BSTR of text, or VT_EMPTY for null; the caller clears it.
VARIANT Text(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    if (text) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
    }
    return v;
}

// A file strategy over paths with one size text and one tag text for all.
std::function<CUploadStrategy*()> FileUpload(const std::vector<std::wstring>& paths, const wchar_t* size,
                                             const wchar_t* tags)
{
    return [=]() -> CUploadStrategy* {
        auto* strategy = new CFileUploadStrategy;
        VARIANT items = vptest::PathArray(paths), sizes = Text(size), none = Text(nullptr), tagText = Text(tags);
        EXPECT_EQ(0, strategy->Initialize(items, sizes, none, tagText));
        for (VARIANT* v : {&items, &sizes, &tagText}) VariantClear(v);
        return strategy;
    };
}

using RequestSafetyServiceTest = vptest::ServiceTestBase;

TEST_F(RequestSafetyServiceTest, FileAddressesOpenExactlyTheFileTheyName)
{
    folder_.Write(L"secret.txt", "not for the service");
    folder_.Write(L"A.swf", "the letter A");
    const std::wstring percent = folder_.Write(L"%41.swf", "FWS percent forty-one");
    // "%00" would pass the type check as ".swf" and open "secret.txt";
    // "%2541" decoded twice would open "A.swf".
    const std::wstring directory = vptest::FileUrl(folder_.Path());
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(
        FileUpload({directory + L"/secret.txt%00.swf", directory + L"/%2541.swf"}, nullptr, nullptr), {}, record);
    EXPECT_TRUE(outcome.finished);
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    const vptest::Json* file = RecordField(uploads[0], "fileupload");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(vptest::Sha256Hex(vptest::ReadFileBytes(percent)), (*file)["sha256"].String());
    EXPECT_EQ("%41.swf", (*file)["filename"].String());
}

TEST_F(RequestSafetyServiceTest, AVeryLongNameIsResizedAndThumbnailedUnderDistinctTemporaryNames)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const size_t folderLength = GetTempPathW(MAX_PATH + 1, temporary);
    // Long enough that the temporary folder and the name alone fill 255
    // characters; kept in a short folder so that the whole path still fits.
    const size_t nameLength = folderLength < 255 ? 256 - folderLength : 1;
    struct ShortFolder {
        std::wstring path = L"C:\\vpl" + std::to_wstring(GetCurrentProcessId());
        std::wstring file;
        ShortFolder() { CreateDirectoryW(path.c_str(), nullptr); }
        ~ShortFolder()
        {
            DeleteFileW(file.c_str());
            RemoveDirectoryW(path.c_str());
        }
    } folder;
    folder.file = folder.path + L"\\" + std::wstring(nameLength, L'n') + L".jpg";
    const std::wstring& path = folder.file;
    ASSERT_LT(path.size(), static_cast<size_t>(MAX_PATH));
    vptest::MakePicture(path, 2000, 1000, Gdiplus::ImageFormatJPEG);

    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome = vptest::RunStrategy(FileUpload({path}, L"640x480", nullptr), {}, record);
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(outcome.questions.empty());
    EXPECT_EQ(1, outcome.uploaded);
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    const vptest::Json* file = RecordField(uploads[0], "fileupload");
    const vptest::Json* thumbnail = RecordField(uploads[0], "thumbupload");
    ASSERT_NE(nullptr, file);
    ASSERT_NE(nullptr, thumbnail);
    EXPECT_NE((*file)["sha256"].String(), (*thumbnail)["sha256"].String());
}

TEST_F(RequestSafetyServiceTest, TagsKeepTheirLineBreaksAndFileNamesCarryNoQuote)
{
    // A full-width quotation mark, which best-fit narrowing turns into '"'.
    const std::wstring path = folder_.Write(L"say\xFF02hi\xFF02.swf", "FWS quoted");
    vptest::StrategyRecord record;
    vptest::StrategyOutcome outcome =
        vptest::RunStrategy(FileUpload({path}, nullptr, L"one\r\nContent-Type: text/html\r\n\r\ntwo"), {}, record);
    EXPECT_TRUE(outcome.finished);
    std::vector<vptest::Json> uploads = vptest::UploadRecords(service_.Requests());
    ASSERT_EQ(1u, uploads.size());
    EXPECT_EQ("stored", uploads[0]["outcome"].String());
    EXPECT_EQ("one\r\nContent-Type: text/html\r\n\r\ntwo", vptest::RecordText(uploads[0], "tags"));
    const vptest::Json* file = RecordField(uploads[0], "fileupload");
    ASSERT_NE(nullptr, file);
    const std::string name = (*file)["filename"].String();
    EXPECT_EQ(std::string::npos, name.find('"')) << name;
    EXPECT_EQ(0u, name.find("say")) << name;
    EXPECT_EQ(vptest::Sha256Hex("FWS quoted"), (*file)["sha256"].String());
}

}  // namespace
