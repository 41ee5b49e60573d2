#pragma once

#include <deque>
#include <optional>
#include <string>
#include <unordered_map>

// The key images waiting for the host to take them, as file paths: while the
// host is not reading, what makes an image is kept, not the image. A key has
// at most one image waiting; a newer one replaces it and keeps its place in
// line, since only the newest can still be worth showing.
class ImageOutbox {
public:
    struct Image {
        std::string context;
        std::string path;
    };

    // Queues `path` as the next image of `context`.
    void Put(const std::string& context, const std::string& path);

    // Removes and returns the image queued first; nothing when none waits.
    std::optional<Image> Take();

    bool Empty() const { return order.empty(); }
    void Clear();

private:
    std::deque<std::string> order;                          // contexts, first queued first
    std::unordered_map<std::string, std::string> newest;  // context -> path
};
