#include "support/FileLoading.h"

#include "platform/Platform.h"
#include "support/Base64.h"

#include <cstdio>
#include <new>

std::string LoadFileAsBase64(const std::string& path) {
    platform::UniqueFile file = platform::OpenFile(path, "rb");
    if (!file) {
        std::printf("Unable to open file %s", path.c_str());
        std::fflush(stdout);
        return std::string();
    }
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);
    // A file whose Base64 length would not fit the encoder is refused like
    // one that does not fit in memory.
    std::unique_ptr<unsigned char[]> buffer;
    if (size >= 0 && size <= kMaxBase64InputLength) {
        buffer.reset(new (std::nothrow) unsigned char[static_cast<std::size_t>(size) + 1]);
    }
    if (!buffer) {
        std::printf("Memory error!");
        std::fflush(stdout);
        return std::string();
    }
    // A file that shrank since it was measured gives the bytes it still has.
    const std::size_t delivered = std::fread(buffer.get(), 1, static_cast<std::size_t>(size), file.get());
    file.reset();
    return EncodeBase64(buffer.get(), static_cast<std::int32_t>(delivered));
}
