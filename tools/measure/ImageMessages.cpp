#include "ImageMessages.h"

#include "support/Base64.h"

#include <nlohmann/json.hpp>

#include <cstdint>

std::string BackgroundUpdate(const std::string& context, const std::string& path) {
    return nlohmann::json{{"event", "sendToPlugin"}, {"context", context}, {"payload", {{"background-image", path}}}}
        .dump();
}

std::optional<SetImageParts> SplitSetImage(std::string_view message) {
    constexpr std::string_view head = R"({"context":")";
    constexpr std::string_view middle = R"(","event":"setImage","payload":{"image":"data:image/png;base64,)";
    constexpr std::string_view tail = R"(","target":0}})";
    if (message.substr(0, head.size()) != head) return std::nullopt;
    const std::size_t split = message.find(middle, head.size());
    if (split == std::string_view::npos || message.size() < split + middle.size() + tail.size() ||
        message.substr(message.size() - tail.size()) != tail) {
        return std::nullopt;
    }
    const std::string_view context = message.substr(head.size(), split - head.size());
    if (context.find_first_of("\"\\") != std::string_view::npos) return std::nullopt;
    const std::size_t start = split + middle.size();
    return SetImageParts{context, message.substr(start, message.size() - tail.size() - start)};
}

std::string Base64Of(const std::string& bytes) {
    return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
}
