#include "host/BrokenMessage.h"

#include <nlohmann/json.hpp>

namespace {

// Reads the document as far as it goes, stopping at the outermost object's
// "event". Events only: nothing is built, so no depth costs memory or stack.
class EventReader : public nlohmann::json_sax<nlohmann::json> {
public:
    std::optional<std::string> event;

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool string(string_t& value) override {
        if (!EventComes()) return Value();
        event = std::move(value);
        return false;  // all that was wanted
    }
    bool start_object(std::size_t) override { return Open(); }
    bool start_array(std::size_t) override { return Open(); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override {
        eventKey = depth == 1 && name == "event";
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool EventComes() const { return depth == 1 && eventKey; }
    bool Value() {
        // The outermost "event" is something other than a text: no event.
        return !EventComes();
    }
    bool Open() {
        if (EventComes()) return false;
        ++depth;
        return true;
    }
    bool Close() {
        --depth;
        return true;
    }

    std::size_t depth = 0;
    bool eventKey = false;
};

}  // namespace

std::optional<std::string> EventOfBrokenMessage(const std::string& text) {
    EventReader reader;
    try {
        nlohmann::json::sax_parse(text, &reader);
    } catch (...) {
        // The reader raises nothing of its own; the library's surprises end the look.
    }
    return reader.event;
}
