#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// A folder of its own under the temporary folder, for the plugin to work in
// and read files from; removed with everything in it on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Writes `bytes` to `relative` (folders made as needed); the full path.
    std::filesystem::path Write(const std::filesystem::path& relative, const std::string& bytes) const;

private:
    std::filesystem::path path;
};

// `size` bytes that look like compressed image data: every byte value, no
// pattern for the Base64 text to repeat. The same seed gives the same bytes.
std::string NoiseBytes(std::size_t size, unsigned seed);
