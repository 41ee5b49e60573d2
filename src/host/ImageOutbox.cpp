#include "host/ImageOutbox.h"

void ImageOutbox::Put(const std::string& context, const std::string& path) {
    if (newest.insert_or_assign(context, path).second) order.push_back(context);
}

std::optional<ImageOutbox::Image> ImageOutbox::Take() {
    if (order.empty()) return std::nullopt;
    const auto entry = newest.find(order.front());
    Image image{std::move(order.front()), std::move(entry->second)};
    newest.erase(entry);
    order.pop_front();
    return image;
}

void ImageOutbox::Clear() {
    order.clear();
    newest.clear();
}
