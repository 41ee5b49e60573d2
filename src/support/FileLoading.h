#pragma once

#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The largest image file that is read: hundreds of times a key image (a
// 144x144 PNG takes tens of kilobytes), and small enough that the plugin's
// memory stays bounded whatever file it is pointed at.
constexpr std::uint64_t kMaxImageFileSize = 16 * 1024 * 1024;

// An image file, opened for reading and measured. Failures are reported on
// the console, one line each: a file that cannot be opened (missing, no
// access, not a regular file, or a path holding a NUL character) as "Unable
// to open file <path>"; one larger than kMaxImageFileSize as "Memory error!",
// like a file that does not fit in memory.
class ImageFile {
public:
    explicit ImageFile(const std::string& path);

    // True when the file opened and holds at least one byte to send.
    bool HasContent() const { return opened.file && opened.size > 0; }

    // The length of the Base64 text of the bytes measured: what AppendBase64
    // appends at most.
    std::size_t Base64Length() const { return 4 * ((static_cast<std::size_t>(opened.size) + 2) / 3); }

    // Reads the file, up to the size measured, and appends the Base64 text of
    // the bytes read to `out`; false, with `out` unchanged, when none were.
    bool AppendBase64(std::string& out);

private:
    platform::RegularFile opened;
};
