// FIFOs named as the files the plugin reads: opening one for reading waits
// for a writer that never comes, unless the open takes care not to.
#include "platform/recording/RecordingPlatform.h"
#include "support/FileLoading.h"
#include "support/Localizer.h"
#include "ConsoleCapture.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class FifoTest : public testing::Test {
protected:
    void SetUp() override { dir = MakeTempDirectory("deckmouse-fifo"); }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    fs::path MakeFifo(const fs::path& path) {
        fs::create_directories(path.parent_path());
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
        return path;
    }

    // Runs `open` and waits for it with a deadline; a reader stuck on the FIFO
    // is let go by a writer that opens and closes it, so the test can end.
    template <typename Open>
    bool FinishesWithoutAWriter(const fs::path& fifo, Open open) {
        auto opened = std::async(std::launch::async, open);
        if (opened.wait_for(5s) == std::future_status::ready) return true;
        const int writer = ::open(fifo.c_str(), O_WRONLY);
        if (writer >= 0) close(writer);
        opened.wait();
        return false;
    }

    fs::path dir;
};

TEST_F(FifoTest, ImageFileIsRefusedWithoutWaitingForAWriter) {
    const fs::path fifo = MakeFifo(dir / "picture.png");
    bool hasContent = true;
    std::string console;
    EXPECT_TRUE(FinishesWithoutAWriter(fifo, [&] {
        console = ConsoleOutputOf([&] { hasContent = ImageFile(fifo.string()).HasContent(); });
    })) << "the open waited for a writer";
    EXPECT_FALSE(hasContent);
    EXPECT_EQ(console, "Unable to open file " + fifo.string() + "\n");
}

TEST_F(FifoTest, LanguageFileIsIgnoredWithoutWaitingForAWriter) {
    const fs::path folder = dir / "x.sdPlugin";
    platform::recording::SetExecutablePath((folder / "bin" / "deckmouse").string());
    const fs::path fifo = MakeFifo(folder / "de.json");
    bool tableIsNull = false;
    EXPECT_TRUE(FinishesWithoutAWriter(fifo, [&] { tableIsNull = Localizer("de").Table().is_null(); }))
        << "the open waited for a writer";
    EXPECT_TRUE(tableIsNull);
}

}  // namespace
