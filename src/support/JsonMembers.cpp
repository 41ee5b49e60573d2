#include "support/JsonMembers.h"

#include <stdexcept>

namespace {

bool RefuseDeepNesting(int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
    if (depth > kMaxJsonDepth) throw std::length_error("JSON nested too deeply");
    return true;
}

}  // namespace

bool GetObjectMember(const nlohmann::json& container, const std::string& name, nlohmann::json& destination) {
    if (!container.is_object()) return false;
    const auto member = container.find(name);
    if (member == container.end() || !member->is_object()) return false;
    nlohmann::json copy = *member;
    destination.swap(copy);
    return true;
}

std::string GetStringMember(const nlohmann::json& container, const std::string& name, const std::string& fallback) {
    if (!container.is_object()) return fallback;
    const auto member = container.find(name);
    if (member == container.end() || !member->is_string()) return fallback;
    return member->get_ref<const std::string&>();
}

nlohmann::json ParseJsonDocument(const std::string& text) {
    return nlohmann::json::parse(text, RefuseDeepNesting);
}

nlohmann::json ParseJsonDocument(std::FILE* file) {
    return nlohmann::json::parse(file, RefuseDeepNesting);
}
