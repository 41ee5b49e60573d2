#include "support/FileLoading.h"

#include "support/Base64.h"
#include "ConsoleCapture.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

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

    // A file of `size` bytes that takes no disk space.
    std::string SparseFile(const std::string& name, std::uintmax_t size) {
        const fs::path path = dir / name;
        std::ofstream(path).close();
        fs::resize_file(path, size);
        return path.string();
    }

    // Opens and loads `path` with the console captured: what was appended to
    // a text that held "before", and what the console showed.
    struct Loaded {
        bool hasContent = false;
        std::string appended;
        std::string console;
    };
    static Loaded Load(const std::string& path) {
        Loaded loaded;
        std::string out = "before";
        bool appended = false;
        std::size_t base64Length = 0;
        loaded.console = ConsoleOutputOf([&] {
            ImageFile file(path);
            loaded.hasContent = file.HasContent();
            base64Length = file.Base64Length();
            appended = file.AppendBase64(out);
        });
        EXPECT_EQ(appended, loaded.hasContent);
        EXPECT_EQ(out.compare(0, 6, "before"), 0) << "the text before was changed";
        loaded.appended = out.substr(6);
        EXPECT_LE(loaded.appended.size(), base64Length);
        return loaded;
    }

    static std::string Base64Of(const std::string& bytes) {
        return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<std::int32_t>(bytes.size()));
    }

    fs::path originalCwd;
    fs::path dir;
};

TEST_F(FileLoadingTest, AppendsTheFileBytesUnchangedAsBase64) {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<char>(i));
    // Sizes around the pieces the file is read in, and far beyond.
    std::vector<std::string> large;
    for (const std::size_t size : {49151, 49152, 49153, 98304, 300000, 300001}) {
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i) bytes.push_back(static_cast<char>((i * 131) ^ (i >> 8)));
        large.push_back(bytes);
    }
    const struct {
        std::string name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"text.txt", "foobar", "Zm9vYmFy"},
        {"one.bin", "f", "Zg=="},
        {"crlf.txt", "a\r\nb\r", "YQ0KYg0="},                    // no line-end translation
        {"zeros.bin", std::string("\0\0\0x\0", 5), "AAAAeAA="},  // NUL bytes do not end the file
        {"ctrlz.bin", "\x1a" "after", "GmFmdGVy"},
        {"all.bin", allBytes, Base64Of(allBytes)},
        {"49151.bin", large[0], Base64Of(large[0])},
        {"49152.bin", large[1], Base64Of(large[1])},
        {"49153.bin", large[2], Base64Of(large[2])},
        {"98304.bin", large[3], Base64Of(large[3])},
        {"300000.bin", large[4], Base64Of(large[4])},
        {"300001.bin", large[5], Base64Of(large[5])},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded loaded = Load(WriteFile(c.name, c.bytes));
        EXPECT_TRUE(loaded.hasContent);
        EXPECT_TRUE(loaded.appended == c.expected);
        EXPECT_EQ(loaded.console, "");
    }
}

TEST_F(FileLoadingTest, EmptyFileHasNothingToSendAndIsNoFailure) {
    const Loaded loaded = Load(WriteFile("empty.bin", ""));
    EXPECT_FALSE(loaded.hasContent);
    EXPECT_EQ(loaded.appended, "");
    EXPECT_EQ(loaded.console, "");
}

TEST_F(FileLoadingTest, WhatIsNotARegularFileOfAcceptableSizeIsRefusedOnOneLine) {
    WriteFile("image.png", "real");
    fs::create_directory(dir / "folder");
    const std::string withNul = (dir / "image.png").string() + std::string("\0.txt", 5);
    const std::string nulEscaped = (dir / "image.png").string() + "\\x00.txt";
    // The null device: a character device that never ends.
    const std::string device = fs::exists("/dev/zero") ? "/dev/zero" : "NUL";
    const std::string folder = (dir / "folder").string();
    const std::string missing = (dir / "missing.png").string();
    const std::string missingFolder = (dir / "nowhere" / "other.png").string();
    const std::string withNewline = (dir / "two\nlines.png").string();
    const std::string newlineEscaped = (dir / "two\\x0Alines.png").string();
    const struct {
        const char* name;
        std::string path;
        std::string console;
    } cases[] = {
        {"missing file", missing, "Unable to open file " + missing + "\n"},
        {"missing folder", missingFolder, "Unable to open file " + missingFolder + "\n"},
        {"folder", folder, "Unable to open file " + folder + "\n"},
        {"device", device, "Unable to open file " + device + "\n"},
        {"NUL in the path", withNul, "Unable to open file " + nulEscaped + "\n"},
        {"newline in the path", withNewline, "Unable to open file " + newlineEscaped + "\n"},
        {"one byte over 16 MiB", SparseFile("huge.png", 16 * 1024 * 1024 + 1), "Memory error!\n"},
        {"beyond what a signed 32-bit size holds", SparseFile("vast.png", 5ULL << 30), "Memory error!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded loaded = Load(c.path);
        EXPECT_FALSE(loaded.hasContent);
        EXPECT_EQ(loaded.appended, "");
        EXPECT_EQ(loaded.console, c.console);
    }
}

TEST_F(FileLoadingTest, SixteenMebibytesAreAccepted) {
    const std::string path = SparseFile("largest.png", 16 * 1024 * 1024);
    bool hasContent = false;
    std::size_t base64Length = 0;
    const std::string console = ConsoleOutputOf([&] {
        const ImageFile file(path);
        hasContent = file.HasContent();
        base64Length = file.Base64Length();
    });
    EXPECT_TRUE(hasContent);
    EXPECT_EQ(base64Length, 4u * ((16u * 1024 * 1024 + 2) / 3));
    EXPECT_EQ(console, "");
}

TEST_F(FileLoadingTest, FailuresEachTakeALineOfTheirOwn) {
    const std::string first = (dir / "missing.png").string();
    const std::string second = SparseFile("huge.png", 17 * 1024 * 1024);
    const std::string third = (dir / "other.png").string();
    EXPECT_EQ(ConsoleOutputOf([&] {
                  ImageFile{first};
                  ImageFile{second};
                  ImageFile{third};
              }),
              "Unable to open file " + first + "\nMemory error!\nUnable to open file " + third + "\n");
}

TEST_F(FileLoadingTest, BackslashPathIsRelativeToTheWorkingDirectory) {
    fs::create_directory(dir / "sub");
    WriteFile("sub/file.bin", "foo");
    fs::current_path(dir);
    const Loaded loaded = Load("sub\\file.bin");
    EXPECT_EQ(loaded.appended, "Zm9v");
    EXPECT_EQ(loaded.console, "");
}

// The size is taken when the file is opened; what is read is what the file
// holds when it is read, up to that size.
TEST_F(FileLoadingTest, FileChangedAfterItWasOpenedGivesWhatItHoldsUpToTheSizeMeasured) {
    const struct {
        const char* name;
        std::size_t newSize;
        std::string expected;
    } cases[] = {
        {"shrank", 4, "enp6eg=="},           // "zzzz"
        {"grew", 40, "enp6enp6enp6eg=="},    // ten "z"
        {"emptied", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WriteFile("changing.png", "abcdefghij");
        std::string out;
        bool appended = false;
        const std::string console = ConsoleOutputOf([&] {
            ImageFile file(path);
            std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << std::string(30, 'z') + "abcdefghij";
            fs::resize_file(path, c.newSize);
            appended = file.AppendBase64(out);
        });
        EXPECT_EQ(appended, !c.expected.empty());
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(console, "");
    }
}

}  // namespace
