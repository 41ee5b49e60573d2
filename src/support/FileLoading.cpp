#include "support/FileLoading.h"

#include "support/Base64.h"
#include "support/Log.h"

#include <memory>

namespace {

// Read and encoded a piece at a time, straight into the caller's text: a
// multiple of three bytes, so that no padding falls between two pieces.
constexpr std::size_t kPieceSize = 3 * 16 * 1024;

}  // namespace

ImageFile::ImageFile(const std::string& path) : opened(platform::OpenRegularFile(path)) {
    if (!opened.file) {
        LogLine("Unable to open file " + EscapeControlCharacters(path));
    } else if (opened.size > kMaxImageFileSize) {
        LogLine("Memory error!");
        opened = platform::RegularFile();
    }
}

bool ImageFile::AppendBase64(std::string& out) {
    if (!HasContent()) return false;
    const std::size_t start = out.size();
    const auto piece = std::make_unique<unsigned char[]>(kPieceSize);
    // A file that shrank since it was opened gives the bytes it still has.
    for (std::size_t left = static_cast<std::size_t>(opened.size); left > 0;) {
        const std::size_t wanted = left < kPieceSize ? left : kPieceSize;
        const std::size_t read = std::fread(piece.get(), 1, wanted, opened.file.get());
        out += EncodeBase64(piece.get(), static_cast<std::int32_t>(read));
        if (read < wanted) break;
        left -= read;
    }
    opened = platform::RegularFile();
    return out.size() > start;
}
