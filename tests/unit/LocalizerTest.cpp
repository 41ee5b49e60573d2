#include "support/Localizer.h"

#include "platform/recording/RecordingPlatform.h"
#include "support/PluginPaths.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The plugin folder is found once per process and then kept, so every test in
// a process uses the same "<tmp>/x.sdPlugin", made when the suite starts.
class LocalizerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root = MakeTempDirectory("deckmouse-localizer");
        fs::create_directories(root / "x.sdPlugin" / "bin");
    }

    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }

    void SetUp() override {
        ASSERT_FALSE(root.empty()) << "no temporary directory";
        platform::recording::SetExecutablePath((PluginFolder() / "bin" / "deckmouse").string());
        if (GetPluginFolder() != PluginFolder().string()) {
            GTEST_SKIP() << "another plugin folder was cached by an earlier test in this process";
        }
    }

    void TearDown() override {
        // Files of one test must not leak into the next.
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(PluginFolder(), ignored)) {
            if (entry.is_regular_file()) fs::remove(entry.path(), ignored);
        }
    }

    static fs::path PluginFolder() { return root / "x.sdPlugin"; }

    static void WriteLanguageFile(const std::string& fileName, const std::string& content) {
        std::ofstream out(PluginFolder() / fileName, std::ios::binary);
        out << content;
        out.close();
        ASSERT_TRUE(out) << "could not write " << fileName;
    }

    static fs::path root;
};

fs::path LocalizerTest::root;

TEST_F(LocalizerTest, TableIsTheLocalizationObjectOrNull) {
    struct Case {
        const char* name;
        std::string content;
        nlohmann::json expected;
    };
    const std::vector<Case> cases = {
        {"object", R"({"Localization":{"k":"v"}})", {{"k", "v"}}},
        {"other members ignored", R"({"Other":1,"Localization":{"k":["a",2,null]}})", {{"k", {"a", 2, nullptr}}}},
        {"empty object", R"({"Localization":{}})", nlohmann::json::object()},
        {"spaces around", " \n{ \"Localization\" : { \"k\" : \"v\" } }\n\n", {{"k", "v"}}},
        {"utf-8 text", "{\"Localization\":{\"k\":\"\xc3\xa4\xe2\x82\xac\"}}", {{"k", "\xc3\xa4\xe2\x82\xac"}}},
        {"byte-order mark", "\xEF\xBB\xBF{\"Localization\":{\"k\":\"v\"}}", {{"k", "v"}}},
        {"not an object", R"({"Localization":"text"})", nullptr},
        {"null member", R"({"Localization":null})", nullptr},
        {"array member", R"({"Localization":[{"k":"v"}]})", nullptr},
        {"wrong case", R"({"localization":{"k":"v"}})", nullptr},
        {"missing member", R"({"Other":{}})", nullptr},
        {"top-level array", "[1, 2]", nullptr},
        {"text after the document", R"({"Localization":{"k":"v"}} x)", nullptr},
        {"second document", R"({"Localization":{"k":"v"}}{})", nullptr},
        {"truncated", R"({"Localization":{"k":"v")", nullptr},
        {"empty file", "", nullptr},
        {"only white space", " \n\t", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteLanguageFile("en.json", c.content);
        const Localizer localizer("en");
        EXPECT_EQ(localizer.Table(), c.expected);
    }
}

TEST_F(LocalizerTest, MissingFileGivesNull) {
    const Localizer localizer("en");
    EXPECT_TRUE(localizer.Table().is_null());
}

TEST_F(LocalizerTest, LanguageCodeNamesTheFile) {
    WriteLanguageFile("en.json", R"({"Localization":{"lang":"en"}})");
    WriteLanguageFile("de.json", R"({"Localization":{"lang":"de"}})");
    EXPECT_EQ(Localizer("de").Table(), nlohmann::json({{"lang", "de"}}));
    EXPECT_EQ(Localizer("en").Table(), nlohmann::json({{"lang", "en"}}));
    // No fallback to another language.
    EXPECT_TRUE(Localizer("fr").Table().is_null());
}

TEST_F(LocalizerTest, EmptyLanguageReadsNothing) {
    WriteLanguageFile(".json", R"({"Localization":{"k":"v"}})");
    EXPECT_TRUE(Localizer("").Table().is_null());
}

TEST_F(LocalizerTest, DeeplyNestedFileGivesNullWithoutCrashing) {
    const int depth = 100000;
    std::string content = R"({"Localization":{"k":)";
    content.append(depth, '[');
    content.append(depth, ']');
    content += "}}";
    WriteLanguageFile("en.json", content);
    EXPECT_TRUE(Localizer("en").Table().is_null());
}

TEST_F(LocalizerTest, ModeratelyNestedFileIsLoaded) {
    const int depth = 100;
    std::string nested(depth, '[');
    nested.append(depth, ']');
    WriteLanguageFile("en.json", R"({"Localization":{"k":)" + nested + "}}");
    EXPECT_EQ(Localizer("en").Table(), nlohmann::json({{"k", nlohmann::json::parse(nested)}}));
}

}  // namespace
