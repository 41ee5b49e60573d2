#include "ScratchFolder.h"

#include <unistd.h>

#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& name)
    : path(fs::temp_directory_path() / ("deckmouse-" + name + "-" + std::to_string(getpid()))) {
    fs::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

fs::path ScratchFolder::Write(const fs::path& relative, const std::string& bytes) const {
    const fs::path file = path / relative;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
    return file;
}

std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xff);
    return bytes;
}
