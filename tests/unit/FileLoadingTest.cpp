#include "support/FileLoading.h"

#include "support/Base64.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A fresh directory per test, removed afterwards; the working directory is
// restored in case a test moved into it.
class FileLoadingTest : public testing::Test {
protected:
    void SetUp() override {
        originalCwd = fs::current_path();
        dir = MakeTempDirectory("deckmouse-fileloading");
    }

    void TearDown() override {
        std::error_code ignored;
        fs::current_path(originalCwd, ignored);
        fs::remove_all(dir, ignored);
    }

    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        EXPECT_TRUE(out) << "could not write " << path;
        return path.string();
    }

    // Loads with stdout captured; returns the result and stores the output.
    std::string LoadCapturing(const std::string& path, std::string& printed) {
        testing::internal::CaptureStdout();
        std::string result = LoadFileAsBase64(path);
        printed = testing::internal::GetCapturedStdout();
        return result;
    }

    static std::string ExpectedBase64(const std::string& bytes) {
        return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<std::int32_t>(bytes.size()));
    }

    fs::path originalCwd;
    fs::path dir;
};

TEST_F(FileLoadingTest, ReturnsTheFileBytesUnchangedAsBase64) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<char>(i));
    const struct {
        const char* name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"text.txt", "foobar", "Zm9vYmFy"},
        {"crlf.txt", "a\r\nb\r", "YQ0KYg0="},               // no line-end translation
        {"zeros.bin", std::string("\0\0\0x\0", 5), "AAAAeAA="},  // NUL bytes do not end the file
        {"ctrlz.bin", "\x1a" "after", "GmFmdGVy"},
        {"all.bin", allBytes, ExpectedBase64(allBytes)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteFile(c.name, c.bytes);
        std::string printed;
        EXPECT_EQ(LoadCapturing(path, printed), c.expected);
        EXPECT_EQ(printed, "");
    }
}

TEST_F(FileLoadingTest, LargerFileIsReadWhole) {
    std::string bytes;
    for (int i = 0; i < 300000; ++i) bytes.push_back(static_cast<char>((i * 131) ^ (i >> 8)));
    const std::string path = WriteFile("big.bin", bytes);
    std::string printed;
    const std::string text = LoadCapturing(path, printed);
    EXPECT_EQ(text.size(), 400000u);
    EXPECT_EQ(text, ExpectedBase64(bytes));
    EXPECT_EQ(printed, "");
}

TEST_F(FileLoadingTest, EmptyFileGivesEmptyTextAndPrintsNothing) {
    const std::string path = WriteFile("empty.bin", "");
    std::string printed;
    EXPECT_EQ(LoadCapturing(path, printed), "");
    EXPECT_EQ(printed, "");
}

TEST_F(FileLoadingTest, MissingFilesReportOnOneLine) {
    const std::string first = (dir / "missing.png").string();
    const std::string second = (dir / "nowhere" / "other.png").string();
    testing::internal::CaptureStdout();
    const std::string firstResult = LoadFileAsBase64(first);
    const std::string secondResult = LoadFileAsBase64(second);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(firstResult, "");
    EXPECT_EQ(secondResult, "");
    // No line end after either message: the second continues the first.
    EXPECT_EQ(printed, "Unable to open file " + first + "Unable to open file " + second);
}

TEST_F(FileLoadingTest, BackslashPathIsRelativeToTheWorkingDirectory) {
    fs::create_directory(dir / "sub");
    WriteFile("sub/file.bin", "foo");
    fs::current_path(dir);
    std::string printed;
    EXPECT_EQ(LoadCapturing("sub\\file.bin", printed), "Zm9v");
    EXPECT_EQ(printed, "");
}

TEST_F(FileLoadingTest, DirectoryGivesEmptyText) {
    fs::create_directory(dir / "folder");
    std::string printed;
    // Opening a directory may succeed here, but nothing can be read from it.
    EXPECT_EQ(LoadCapturing((dir / "folder").string(), printed), "");
}

TEST_F(FileLoadingTest, FileTooLargeForTheEncoderIsRefusedLikeAMemoryError) {
    // Sparse: takes no disk space, and is refused before anything is read.
    const fs::path huge = dir / "huge.png";
    std::ofstream(huge).close();
    fs::resize_file(huge, static_cast<std::uintmax_t>(kMaxBase64InputLength) + 1);
    std::string printed;
    EXPECT_EQ(LoadCapturing(huge.string(), printed), "");
    EXPECT_EQ(printed, "Memory error!");
}

}  // namespace
