// The request body format byte for byte, the header block, and reading the
// body in chunks across text and file parts.
#include <windows.h>

#include <memory>

#include <gtest/gtest.h>

#include "common/Handle.h"
#include "common/TextConvert.h"
#include "engine/MultipartFormData.h"
#include "support/TempFolder.h"

namespace {

std::unique_ptr<File> OpenForReading(const std::wstring& path)
{
    auto file = std::make_unique<File>();
    file->Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0);
    return file;
}

TEST(MultipartFormDataTest, BodyWithoutFieldsIsTheClosingLine)
{
    CMultipartFormData form("XYZ");
    EXPECT_EQ("--XYZ--\r\n", form.BodyBytes());
    EXPECT_EQ(L"Content-type: multipart/form-data, boundary=XYZ\r\nContent-length: 9\r\n", form.HeaderBlock());
}

TEST(MultipartFormDataTest, TextFieldThenFilePartReadsExactly)
{
    vptest::TempFolder folder;
    std::string bytes("\x00\x01\xFFpicture\r\n--XYZ", 17);
    std::wstring path = folder.Write(L"photo.jpg", bytes);

    CMultipartFormData form("XYZ");
    form.AddField("a", "1");
    ASSERT_TRUE(form.AddFile("fileupload", OpenForReading(path), "image/jpeg", ""));
    std::string expected = std::string("--XYZ\r\n") + "Content-Disposition: form-data; name=\"a\"\r\n" + "\r\n" +
                           "1\r\n" + "--XYZ\r\n" +
                           "Content-Disposition: form-data; name=\"fileupload\"; filename=\"photo.jpg\"\r\n" +
                           "Content-Type: image/jpeg\r\n" + "Content-Transfer-Encoding: binary\r\n" + "\r\n" + bytes +
                           "\r\n" + "--XYZ--\r\n";
    EXPECT_EQ(expected, form.BodyBytes());
    EXPECT_EQ(expected.size(), form.BodySize());
    EXPECT_EQ(L"Content-type: multipart/form-data, boundary=XYZ\r\nContent-length: " +
                  std::to_wstring(expected.size()) + L"\r\n",
              form.HeaderBlock());
}

TEST(MultipartFormDataTest, FilePartNamesAndTypesDefault)
{
    vptest::TempFolder folder;
    std::wstring path = folder.Write(L"clip.xyz", "data");
    CMultipartFormData form("B");
    ASSERT_TRUE(form.AddFile("thumbupload", OpenForReading(path), nullptr, ""));
    ASSERT_TRUE(form.AddFile("fileupload", OpenForReading(folder.Write(L"empty.bin", "")), "image/png", "shown.png"));
    std::string body = form.BodyBytes();
    EXPECT_NE(std::string::npos, body.find("name=\"thumbupload\"; filename=\"clip.xyz\"\r\n"
                                           "Content-Type: application/octet-stream\r\n"));
    EXPECT_NE(std::string::npos, body.find("filename=\"shown.png\"\r\nContent-Type: image/png\r\n"
                                           "Content-Transfer-Encoding: binary\r\n\r\n\r\n--B--\r\n"))
        << "an empty file gives an empty part";
}

TEST(MultipartFormDataTest, UnopenedFileIsRefusedAndTheBodyStaysWhole)
{
    CMultipartFormData form("B");
    form.AddField("x", "y");
    std::string before = form.BodyBytes();
    EXPECT_FALSE(form.AddFile("fileupload", OpenForReading(L"C:\\no\\such.jpg"), "image/jpeg", ""));
    EXPECT_FALSE(form.AddFile("fileupload", nullptr, "image/jpeg", ""));
    EXPECT_EQ(before, form.BodyBytes());
}

// Reads the whole body in pieces of one size and checks it against one read.
static void ExpectChunkedReadsMatch(const std::wstring& path, DWORD chunk)
{
    CMultipartFormData form("BOUND");
    form.AddField("toolbar", "IEVellumpostToolbar-4.8.3.75");
    ASSERT_TRUE(form.AddFile("fileupload", OpenForReading(path), "image/png", ""));
    form.AddField("after", "the file");
    ASSERT_TRUE(form.AddFile("thumbupload", OpenForReading(path), "image/png", "t.png"));
    std::string whole = form.BodyBytes();
    ASSERT_EQ(form.BodySize(), whole.size());

    std::string chunked;
    std::string buffer(chunk, '\0');
    for (ULONGLONG offset = 0; offset < form.BodySize();) {
        DWORD copied = 0;
        ASSERT_TRUE(form.ReadBody(offset, &buffer[0], chunk, copied));
        ASSERT_GT(copied, 0u);
        chunked.append(buffer, 0, copied);
        offset += copied;
    }
    EXPECT_TRUE(chunked == whole) << "chunk " << chunk;
    DWORD copied = 5;
    char c;
    EXPECT_TRUE(form.ReadBody(form.BodySize(), &c, 1, copied));
    EXPECT_EQ(0u, copied);
}

TEST(MultipartFormDataTest, ChunkedReadsGiveTheSameBytesAsTheWholeBody)
{
    vptest::TempFolder folder;
    auto content = [](size_t size) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + (i >> 9));
        return bytes;
    };
    // Single bytes and odd sizes cross every part boundary at every alignment
    // on a small file; the large file has pieces that end inside it and past it.
    std::wstring small = folder.Write(L"small.bin", content(3000));
    std::wstring big = folder.Write(L"big.bin", content(300000));
    for (DWORD chunk : {1u, 1023u}) ExpectChunkedReadsMatch(small, chunk);
    for (DWORD chunk : {1024u, 65536u}) ExpectChunkedReadsMatch(big, chunk);
}

TEST(MultipartFormDataTest, AFileThatShrankFailsTheRead)
{
    vptest::TempFolder folder;
    std::wstring path = folder.Write(L"s.bin", std::string(5000, 'a'));
    CMultipartFormData form("B");
    auto file = std::make_unique<File>();
    ASSERT_TRUE(file->Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0));
    ASSERT_TRUE(form.AddFile("fileupload", std::move(file), "image/png", ""));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    SetFilePointer(h, 100, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    char buffer[8192];
    DWORD copied = 0;
    EXPECT_FALSE(form.ReadBody(0, buffer, sizeof(buffer), copied));
}

TEST(MultipartFormDataTest, BoundariesAreMadeFromTickCountAndRandom)
{
    CMultipartFormData form;
    EXPECT_EQ(0u, form.Boundary().find("B-O-U-N-D-A-R-Y"));
    EXPECT_GT(form.Boundary().size(), 16u);
    EXPECT_EQ("--" + form.Boundary() + "--\r\n", form.BodyBytes());
    // Forms made in the same tick still differ.
    EXPECT_NE(CMultipartFormData().Boundary(), CMultipartFormData().Boundary());
}

TEST(MultipartFormDataTest, ValuesAndFileNamesCannotCloseTheirPart)
{
    vptest::TempFolder folder;
    const std::wstring path = folder.Write(L"p.jpg", "bytes");
    CMultipartFormData form;
    const std::string first = form.Boundary();
    form.AddField("a", "1");
    // A value that holds the boundary to forge a part of its own.
    const std::string forged = "x\r\n--" + first + "\r\nContent-Disposition: form-data; name=\"public\"\r\n\r\nno";
    form.AddField("tags", forged);
    const std::string second = form.Boundary();
    EXPECT_NE(first, second);
    const std::string named = "n--" + second + "\".jpg\r\nX: \"y";
    ASSERT_TRUE(form.AddFile("fileupload", OpenForReading(path), "image/jpeg", named));
    const std::string b = form.Boundary();
    EXPECT_NE(second, b);
    const std::string expected = "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"tags\"\r\n\r\n" + forged + "\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"fileupload\"; filename=\"n--" + second +
                                 "_.jpg__X: _y\"\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: binary\r\n\r\n"
                                 "bytes\r\n--" + b + "--\r\n";
    EXPECT_EQ(expected, form.BodyBytes());
    EXPECT_EQ(expected.size(), form.BodySize());
    EXPECT_NE(std::wstring::npos, form.HeaderBlock().find(L"boundary=" + std::wstring(b.begin(), b.end()) + L"\r\n"));
    // Narrowing maps look-alikes to the default character, never to a quote.
    EXPECT_EQ(std::string::npos, Narrow(L"\xFF02\x201C\x02BA").find('"'));
}

}  // namespace
