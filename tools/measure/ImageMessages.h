#pragma once

#include <optional>
#include <string>
#include <string_view>

// The settings page's message that has a key show an image file at once:
// "background-image" in a sendToPlugin payload.
std::string BackgroundUpdate(const std::string& context, const std::string& path);

// A key image as the plugin puts it on the wire: members in name order, no
// white space, the image a PNG data URL. Split without a JSON parser, so that
// reading megabytes of images does not slow the host down. Contexts that
// JSON would escape are not split.
struct SetImageParts {
    std::string_view context;
    std::string_view base64;
};

// Nothing when `message` is not a setImage message laid out that way.
std::optional<SetImageParts> SplitSetImage(std::string_view message);

std::string Base64Of(const std::string& bytes);
