#include "host/HostMessages.h"

#include "host/ESDBasePlugin.h"
#include "support/JsonMembers.h"
#include "support/Base64.h"
#include "ConsoleCapture.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

// One plugin operation as it was called: its name, its string arguments in
// declaration order and its JSON argument (payload or deviceInfo), if any.
struct Call {
    std::string operation;
    std::vector<std::string> strings;
    json value;

    bool operator==(const Call& other) const {
        return operation == other.operation && strings == other.strings && value == other.value;
    }
};

void PrintTo(const Call& call, std::ostream* os) {
    *os << call.operation << "(";
    for (const std::string& s : call.strings) *os << '"' << s << "\", ";
    *os << call.value.dump() << ")";
}

class RecordingPlugin : public ESDBasePlugin {
public:
    std::vector<Call> calls;
    // Operations named here raise after recording their call.
    std::vector<std::string> failing;

    void OnKeyDown(const std::string& action, const std::string& context, const json& payload,
                   const std::string& device) override {
        Record({"OnKeyDown", {action, context, device}, payload});
    }
    void OnKeyUp(const std::string& action, const std::string& context, const json& payload,
                 const std::string& device) override {
        Record({"OnKeyUp", {action, context, device}, payload});
    }
    void OnWillAppear(const std::string& action, const std::string& context, const json& payload,
                      const std::string& device) override {
        Record({"OnWillAppear", {action, context, device}, payload});
    }
    void OnWillDisappear(const std::string& action, const std::string& context, const json& payload,
                         const std::string& device) override {
        Record({"OnWillDisappear", {action, context, device}, payload});
    }
    void OnDeviceDidConnect(const std::string& device, const json& deviceInfo) override {
        Record({"OnDeviceDidConnect", {device}, deviceInfo});
    }
    void OnDeviceDidDisconnect(const std::string& device) override {
        Record({"OnDeviceDidDisconnect", {device}, json()});
    }
    void OnSendToPlugin(const std::string& action, const std::string& context, const json& payload,
                        const std::string& device) override {
        Record({"OnSendToPlugin", {action, context, device}, payload});
    }
    void OnDidReceiveSettings(const std::string& action, const std::string& context, const json& payload,
                              const std::string& device) override {
        Record({"OnDidReceiveSettings", {action, context, device}, payload});
    }
    void OnDidReceiveGlobalSettings(const json& settings) override {
        Record({"OnDidReceiveGlobalSettings", {}, settings});
    }

private:
    void Record(Call call) {
        const std::string operation = call.operation;
        calls.push_back(std::move(call));
        for (const std::string& name : failing) {
            if (name == operation) {
                if (operation == "OnKeyUp") throw 42;  // not every failure is a std::exception
                throw std::runtime_error(operation + " failed");
            }
        }
    }
};

struct DispatchCase {
    const char* name;
    std::string text;
    std::vector<Call> expected;
};

TEST(DispatchHostMessageTest, TableOfIncomingMessages) {
    const json payload = {{"settings", {{"my_sleep", "5"}}}, {"coordinates", {{"column", 1}, {"row", 0}}}};
    const std::string envelope =
        R"("action":"com.x.mouse","context":"CTX","device":"DEV","payload":)" + payload.dump();
    const std::vector<DispatchCase> cases = {
        {"keyDown", R"({"event":"keyDown",)" + envelope + "}",
         {{"OnKeyDown", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"keyUp", R"({"event":"keyUp",)" + envelope + "}", {{"OnKeyUp", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"willAppear", R"({"event":"willAppear",)" + envelope + "}",
         {{"OnWillAppear", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"willDisappear", R"({"event":"willDisappear",)" + envelope + "}",
         {{"OnWillDisappear", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"sendToPlugin", R"({"event":"sendToPlugin",)" + envelope + "}",
         {{"OnSendToPlugin", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"deviceDidConnect with deviceInfo, payload not passed",
         R"({"event":"deviceDidConnect",)" + envelope + R"(,"deviceInfo":{"type":0,"size":{"columns":5}}})",
         {{"OnDeviceDidConnect", {"DEV"}, {{"type", 0}, {"size", {{"columns", 5}}}}}}},
        {"deviceDidConnect without deviceInfo", R"({"event":"deviceDidConnect",)" + envelope + "}",
         {{"OnDeviceDidConnect", {"DEV"}, json()}}},
        {"deviceDidConnect with deviceInfo not an object",
         R"({"event":"deviceDidConnect","device":"D","deviceInfo":[1]})", {{"OnDeviceDidConnect", {"D"}, json()}}},
        {"deviceDidDisconnect", R"({"event":"deviceDidDisconnect",)" + envelope + "}",
         {{"OnDeviceDidDisconnect", {"DEV"}, json()}}},
        {"didReceiveSettings", R"({"event":"didReceiveSettings",)" + envelope + "}",
         {{"OnDidReceiveSettings", {"com.x.mouse", "CTX", "DEV"}, payload}}},
        {"didReceiveGlobalSettings: the settings alone",
         R"({"event":"didReceiveGlobalSettings","context":"PLUGIN","payload":{"settings":{"slots":{"1":{"x":1,"y":2}}}}})",
         {{"OnDidReceiveGlobalSettings", {}, {{"slots", {{"1", {{"x", 1}, {"y", 2}}}}}}}}},
        {"didReceiveGlobalSettings without settings", R"({"event":"didReceiveGlobalSettings","payload":{}})",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        {"didReceiveGlobalSettings with settings not an object",
         R"({"event":"didReceiveGlobalSettings","payload":{"settings":[1]}})",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        // An answer the plugin cannot read, told by its event named before the fault.
        {"didReceiveGlobalSettings with a lone surrogate",
         R"({"event":"didReceiveGlobalSettings","context":"PLUGIN","payload":{"settings":{"note":"\ud800"}}})",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        {"didReceiveGlobalSettings with a number no double holds",
         R"({"context":"PLUGIN","event":"didReceiveGlobalSettings","payload":{"settings":{"x":1e999}}})",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        {"didReceiveGlobalSettings cut short", R"({"event":"didReceiveGlobalSettings","payload":{"settings":{"slo)",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        {"didReceiveGlobalSettings nested too deep",
         R"({"event":"didReceiveGlobalSettings","payload":{"settings":{"a":)" + std::string(600, '[') +
             std::string(600, ']') + "}}}",
         {{"OnDidReceiveGlobalSettings", {}, json()}}},
        {"didReceiveGlobalSettings named after the fault",
         R"({"payload":{"settings":{"note":"\ud800"}},"event":"didReceiveGlobalSettings"})", {}},
        {"didReceiveGlobalSettings named inside the payload",
         R"({"payload":{"event":"didReceiveGlobalSettings","note":"\ud800"}})", {}},
        {"didReceiveGlobalSettings as a value of another member",
         R"({"context":"event","x":"didReceiveGlobalSettings","y":"\ud800"})", {}},
        {"an event that is no text, before the fault", R"({"event":["didReceiveGlobalSettings"],"y":"\ud800"})", {}},
        {"another event before the fault", R"({"event":"didReceiveSettings","payload":{"settings":{"a":"\ud800"}}})",
         {}},
        {"members missing", R"({"event":"keyDown"})", {{"OnKeyDown", {"", "", ""}, json()}}},
        {"willAppear without context", R"({"event":"willAppear","action":"a","device":"d"})",
         {{"OnWillAppear", {"a", "", "d"}, json()}}},
        {"members of other types", R"({"event":"keyUp","action":1,"context":null,"device":["d"],"payload":true})",
         {{"OnKeyUp", {"", "", ""}, json()}}},
        {"payload an array", R"({"event":"keyDown","context":"c","payload":[1,2]})",
         {{"OnKeyDown", {"", "c", ""}, json()}}},
        {"payload a string", R"({"event":"keyDown","context":"c","payload":"{}"})",
         {{"OnKeyDown", {"", "c", ""}, json()}}},
        {"empty payload object", R"({"event":"keyDown","payload":{}})",
         {{"OnKeyDown", {"", "", ""}, json::object()}}},
        {"escaped and non-ASCII texts",
         "{\"event\":\"keyDown\",\"context\":\"a\\\"b\\\\c\\u0001\",\"action\":\"\xc3\xa4\\u00e4\"}",
         {{"OnKeyDown", {"\xc3\xa4\xc3\xa4", "a\"b\\c\x01", ""}, json()}}},
        {"white space around", " \r\n\t{\"event\" : \"keyUp\"}\n ", {{"OnKeyUp", {"", "", ""}, json()}}},
        {"unknown event", R"({"event":"titleParametersDidChange","context":"c"})", {}},
        {"event case differs", R"({"event":"KeyDown","context":"c"})", {}},
        {"event with trailing space", R"({"event":"keyDown ","context":"c"})", {}},
        {"event a number", R"({"event":1,"context":"c"})", {}},
        {"event missing", R"({"context":"c","payload":{}})", {}},
        {"event name in another member", R"({"Event":"keyDown"})", {}},
        {"top-level array", R"([{"event":"keyDown"}])", {}},
        {"top-level number", "42", {}},
        {"top-level string", R"("keyDown")", {}},
        {"top-level null", "null", {}},
        {"malformed JSON", R"({"event":"keyDown",)", {}},
        {"empty text", "", {}},
        {"JSON followed by text", R"({"event":"keyDown"} x)", {}},
        {"two documents", R"({"event":"keyDown"}{"event":"keyUp"})", {}},
        {"invalid UTF-8 in a string", "{\"event\":\"keyDown\",\"context\":\"\xff\"}", {}},
    };
    for (const DispatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPlugin plugin;
        DispatchHostMessage(plugin, c.text);
        EXPECT_EQ(plugin.calls, c.expected);
    }
}

TEST(DispatchHostMessageTest, RaisingOperationIsDroppedAndTheNextMessageDelivered) {
    RecordingPlugin plugin;
    plugin.failing = {"OnKeyDown", "OnKeyUp", "OnWillAppear"};
    EXPECT_NO_THROW(DispatchHostMessage(plugin, R"({"event":"keyDown","context":"1"})"));
    EXPECT_NO_THROW(DispatchHostMessage(plugin, R"({"event":"keyUp","context":"2"})"));  // raises a non-std value
    EXPECT_NO_THROW(DispatchHostMessage(plugin, R"({"event":"willAppear","context":"3"})"));
    EXPECT_NO_THROW(DispatchHostMessage(plugin, "garbage"));
    DispatchHostMessage(plugin, R"({"event":"willDisappear","context":"4"})");
    const std::vector<Call> expected = {
        {"OnKeyDown", {"", "1", ""}, json()},
        {"OnKeyUp", {"", "2", ""}, json()},
        {"OnWillAppear", {"", "3", ""}, json()},
        {"OnWillDisappear", {"", "4", ""}, json()},
    };
    EXPECT_EQ(plugin.calls, expected);
}

std::string Nested(int depth, char open, char close) {
    std::string text(static_cast<std::size_t>(depth), open);
    text.append(static_cast<std::size_t>(depth), close);
    return text;
}

TEST(DispatchHostMessageTest, VeryDeepPayloadIsDroppedWithoutCrashing) {
    RecordingPlugin plugin;
    DispatchHostMessage(plugin, R"({"event":"keyDown","context":"c","payload":{"a":)" + Nested(300000, '[', ']') + "}}");
    EXPECT_TRUE(plugin.calls.empty());

    // The same depth of objects, and the next message still gets through.
    std::string objects;
    for (int i = 0; i < 300000; ++i) objects += R"({"a":)";
    objects += "1";
    objects.append(300000, '}');
    DispatchHostMessage(plugin, R"({"event":"keyDown","payload":)" + objects + "}");
    EXPECT_TRUE(plugin.calls.empty());

    DispatchHostMessage(plugin, R"({"event":"keyUp","context":"c"})");
    ASSERT_EQ(plugin.calls.size(), 1u);
    EXPECT_EQ(plugin.calls[0].operation, "OnKeyUp");
}

TEST(DispatchHostMessageTest, ModeratelyDeepPayloadIsDelivered) {
    const std::string nested = Nested(100, '[', ']');
    RecordingPlugin plugin;
    DispatchHostMessage(plugin, R"({"event":"sendToPlugin","context":"c","payload":{"a":)" + nested + "}}");
    json expectedArray = json::array();
    for (int i = 1; i < 100; ++i) expectedArray = json::array({expectedArray});
    const std::vector<Call> expected = {{"OnSendToPlugin", {"", "c", ""}, {{"a", expectedArray}}}};
    EXPECT_EQ(plugin.calls, expected);
}

TEST(DispatchHostMessageTest, HugeStringMemberIsDelivered) {
    const std::string big(20 * 1024 * 1024, 'A');
    RecordingPlugin plugin;
    DispatchHostMessage(plugin, R"({"event":"willAppear","context":")" + big + R"(","payload":{"image":")" + big +
                                    R"("}})");
    ASSERT_EQ(plugin.calls.size(), 1u);
    EXPECT_EQ(plugin.calls[0].operation, "OnWillAppear");
    EXPECT_TRUE(plugin.calls[0].strings[1] == big) << "context of " << plugin.calls[0].strings[1].size() << " bytes";
    EXPECT_TRUE(plugin.calls[0].value["image"] == big);
}

TEST(BuildRegistrationMessageTest, EventBeforeUuidCompact) {
    const struct {
        std::string event;
        std::string uuid;
        std::string expected;
    } cases[] = {
        {"registerPlugin", "ABC", R"({"event":"registerPlugin","uuid":"ABC"})"},
        {"", "", R"({"event":"","uuid":""})"},
        {"reg\"x", "a\\b", R"({"event":"reg\"x","uuid":"a\\b"})"},
        {"r", "\xc3\xa4\n", "{\"event\":\"r\",\"uuid\":\"\xc3\xa4\\n\"}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(BuildRegistrationMessage(c.event, c.uuid), c.expected);
    }
}

TEST(BuildShowAlertMessageTest, ContextThenEvent) {
    EXPECT_EQ(BuildShowAlertMessage("ctx\"1"), R"({"context":"ctx\"1","event":"showAlert"})");
    EXPECT_EQ(BuildShowAlertMessage(""), R"({"context":"","event":"showAlert"})");
}

std::string LibrarySetImage(const std::string& context, const std::string& image) {
    return json{{"context", context}, {"event", "setImage"}, {"payload", {{"image", image}, {"target", 0}}}}.dump();
}

std::string Base64Of(const std::string& bytes) {
    return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
}

// An image file in a directory of its own, removed afterwards.
class ImageFileOnDisk {
public:
    explicit ImageFileOnDisk(const std::string& bytes) : dir(MakeTempDirectory("deckmouse-hostmessages")) {
        std::ofstream(dir / "image.png", std::ios::binary) << bytes;
    }
    ~ImageFileOnDisk() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Path() const { return (dir / "image.png").string(); }

private:
    std::filesystem::path dir;
};

TEST(AppendSetImageMessageTest, MatchesTheLibrarySerialisationByteForByte) {
    const std::string prefix = "data:image/png;base64,";
    std::string large;
    for (int i = 0; i < 3 << 19; ++i) large += static_cast<char>(i * 7);
    const struct {
        const char* name;
        std::string bytes;
        std::string context;
    } cases[] = {
        {"PNG bytes", std::string("\x89PNG\r\n\x1a\n\0icon", 13), "CTX"},
        {"bytes that are quotes and backslashes", "\"\\\"\\", "CTX"},
        {"one byte", "x", "CTX"},
        {"context with quote", "AAAA", "a\"b"},
        {"context with backslash", "AAAA", "a\\b"},
        {"context with control characters", "AAAA", std::string("\x01\t\n\x1f\x7f", 5)},
        {"context with NUL", "AAAA", std::string("a\0b", 3)},
        {"context non-ASCII", "AAAA", "\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"empty context", "AAAA", ""},
        {"one and a half MiB", large, "ctx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ImageFileOnDisk file(c.bytes);
        std::string out;
        EXPECT_TRUE(AppendSetImageMessage(out, c.context, file.Path()));
        EXPECT_TRUE(out == LibrarySetImage(c.context, prefix + Base64Of(c.bytes)));
    }
}

TEST(AppendSetImageMessageTest, AppendsToWhatIsAlreadyThere) {
    const ImageFileOnDisk file("image bytes");
    std::string out = "earlier message";
    EXPECT_TRUE(AppendSetImageMessage(out, "one", file.Path()));
    EXPECT_TRUE(AppendSetImageMessage(out, "two", file.Path()));
    const std::string image = "data:image/png;base64," + Base64Of("image bytes");
    EXPECT_EQ(out, "earlier message" + LibrarySetImage("one", image) + LibrarySetImage("two", image));
}

TEST(AppendSetImageMessageTest, FileWithoutBytesAppendsNothing) {
    const ImageFileOnDisk empty("");
    const struct {
        const char* name;
        std::string path;
        std::string console;
    } cases[] = {
        {"empty file", empty.Path(), ""},
        {"missing file", empty.Path() + ".gone", "Unable to open file " + empty.Path() + ".gone\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "earlier message";
        bool appended = true;
        EXPECT_EQ(ConsoleOutputOf([&] { appended = AppendSetImageMessage(out, "ctx", c.path); }), c.console);
        EXPECT_FALSE(appended);
        EXPECT_EQ(out, "earlier message");
    }
}

}  // namespace
