#include "main/CommandLine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kInfo = R"({"application":{"language":"de"}})";

struct ParseCase {
    const char* name;
    std::vector<std::string> args;  // without the program name
    std::optional<CommandLine> expected;
};

CommandLine Line(int port, const std::string& uuid, const std::string& event, const std::string& info) {
    CommandLine line;
    line.port = port;
    line.pluginUuid = uuid;
    line.registerEvent = event;
    line.info = info;
    return line;
}

std::optional<CommandLine> Parse(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"deckmouse"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);  // like the real argv, terminated
    return ParseCommandLine(static_cast<int>(argv.size() - 1), argv.data());
}

TEST(ParseCommandLineTest, TableOfCommandLines) {
    const std::vector<ParseCase> cases = {
        {"host order",
         {"-port", "28196", "-pluginUUID", "UUID", "-registerEvent", "registerPlugin", "-info", kInfo},
         Line(28196, "UUID", "registerPlugin", kInfo)},
        {"reversed order",
         {"-info", kInfo, "-registerEvent", "reg", "-pluginUUID", "U", "-port", "1"},
         Line(1, "U", "reg", kInfo)},
        {"eight arguments", {"-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info"}, std::nullopt},
        {"ten arguments",
         {"-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo, "extra"},
         std::nullopt},
        {"no arguments", {}, std::nullopt},
        {"name case differs",
         {"-PORT", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         std::nullopt},
        {"uuid name case differs",
         {"-port", "1", "-pluginuuid", "U", "-registerEvent", "reg", "-info", kInfo},
         std::nullopt},
        {"name without dash",
         {"-port", "1", "pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         std::nullopt},
        {"unknown name instead of -registerEvent",
         {"-port", "1", "-pluginUUID", "U", "-other", "reg", "-info", kInfo},
         std::nullopt},
        {"port zero", {"-port", "0", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo}, std::nullopt},
        {"port without digits",
         {"-port", "abc", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         std::nullopt},
        {"port empty", {"-port", "", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo}, std::nullopt},
        {"port with trailing text",
         {"-port", "12abc", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         Line(12, "U", "reg", kInfo)},
        {"port with leading blanks",
         {"-port", "  +80", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         Line(80, "U", "reg", kInfo)},
        {"negative port is not range-checked here",
         {"-port", "-5", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         Line(-5, "U", "reg", kInfo)},
        {"port above 65535 is not range-checked here",
         {"-port", "65536", "-pluginUUID", "U", "-registerEvent", "reg", "-info", kInfo},
         Line(65536, "U", "reg", kInfo)},
        {"empty uuid", {"-port", "1", "-pluginUUID", "", "-registerEvent", "reg", "-info", kInfo}, std::nullopt},
        {"empty register event",
         {"-port", "1", "-pluginUUID", "U", "-registerEvent", "", "-info", kInfo},
         std::nullopt},
        {"empty info", {"-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info", ""}, std::nullopt},
        {"info that is not JSON is still accepted",
         {"-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info", "not json"},
         Line(1, "U", "reg", "not json")},
        {"repeated -port instead of -info",
         {"-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-port", "2"},
         std::nullopt},
        {"repeated -pluginUUID leaves -info unset",
         {"-port", "1", "-pluginUUID", "A", "-registerEvent", "reg", "-pluginUUID", "B"},
         std::nullopt},
        {"values that look like names stay values",
         {"-pluginUUID", "-info", "-port", "7", "-info", "-port", "-registerEvent", "-pluginUUID"},
         Line(7, "-info", "-pluginUUID", "-port")},
        {"shifted by one: names read as values",
         {"x", "-port", "1", "-pluginUUID", "U", "-registerEvent", "reg", "-info"},
         std::nullopt},
        {"texts kept byte for byte",
         {"-port", "1", "-pluginUUID", " U \xc3\xa4", "-registerEvent", "Reg Ister", "-info", " {} "},
         Line(1, " U \xc3\xa4", "Reg Ister", " {} ")},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<CommandLine> result = Parse(c.args);
        ASSERT_EQ(result.has_value(), c.expected.has_value());
        if (!result) continue;
        EXPECT_EQ(result->port, c.expected->port);
        EXPECT_EQ(result->pluginUuid, c.expected->pluginUuid);
        EXPECT_EQ(result->registerEvent, c.expected->registerEvent);
        EXPECT_EQ(result->info, c.expected->info);
    }
}

TEST(ParseCommandLineTest, LaterOfTwoPairsWins) {
    // With exactly four pairs a repeat always leaves another option unset, so
    // the later value is seen through the check it fails or passes.
    EXPECT_FALSE(Parse({"-port", "5", "-pluginUUID", "U", "-registerEvent", "reg", "-port", "0"}));
    EXPECT_FALSE(Parse({"-info", "x", "-pluginUUID", "U", "-registerEvent", "reg", "-info", ""}));
}

TEST(ReadLanguageTest, TableOfInfoDocuments) {
    const struct {
        std::string info;
        std::string expected;
    } cases[] = {
        {R"({"application":{"language":"de"}})", "de"},
        {R"({"application":{"language":"zh_CN","version":"6.0"},"devices":[]})", "zh_CN"},
        {R"({"application":{"language":""}})", ""},
        {R"({"application":{"language":5}})", "en"},
        {R"({"application":{"language":null}})", "en"},
        {R"({"application":{"language":["de"]}})", "en"},
        {R"({"application":"de"})", "en"},
        {R"({"application":[{"language":"de"}]})", "en"},
        {R"({"language":"de"})", "en"},
        {R"({"Application":{"language":"de"}})", "en"},
        {R"({"application":{"Language":"de"}})", "en"},
        {"{}", "en"},
        {"[]", "en"},
        {"\"de\"", "en"},
        {"not json", "en"},
        {"", "en"},
        {R"({"application":{"language":"de"}} trailing)", "en"},
        {R"({"application":{"language":"de"})", "en"},
        {" \n{\"application\" : {\"language\" : \"fr\"}}\n ", "fr"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("info: " + c.info);
        EXPECT_EQ(ReadLanguage(c.info), c.expected);
    }
}

TEST(ReadLanguageTest, DeeplyNestedInfoFallsBackWithoutCrashing) {
    std::string info = R"({"application":{"language":"de","x":)";
    info.append(200000, '[');
    info.append(200000, ']');
    info += "}}";
    EXPECT_EQ(ReadLanguage(info), "en");
}

}  // namespace
