#include "support/PluginPaths.h"

#include "platform/recording/RecordingPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct PathCase {
    std::string path;
    std::string expected;
};

struct FlagCase {
    std::string path;
    bool expected;
};

struct JoinCase {
    std::string base;
    std::string name;
    std::string expected;
};

TEST(PluginPathsTest, GetFileNameTakesTheLastComponent) {
    const std::vector<PathCase> cases = {
        {R"(C:\a\b.txt)", "b.txt"},
        {R"(C:\a\b\)", "b"},
        {"a/b//", "b"},
        {R"(C:\)", R"(C:\)"},                // a drive root is its own name
        {R"(\)", R"(\)"},
        {R"(\\\)", R"(\)"},
        {"/", "/"},
        {"///", "/"},
        {"name", "name"},
        {"", ""},
        {R"(C:\x/y)", "x/y"},                // a slash is no separator beside a backslash
        {"C:/", "C:"},                       // only the backslash form is a kept drive root
        {"/usr/lib/x.so", "x.so"},
        {R"(a\b/)", "b/"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE("path: " + c.path);
        EXPECT_EQ(GetFileName(c.path), c.expected);
    }
}

TEST(PluginPathsTest, GetExtensionTakesTheLastDotOfTheLastComponent) {
    const std::vector<PathCase> cases = {
        {R"(a\x.sdPlugin)", ".sdPlugin"},
        {R"(a\b.tar.gz)", ".gz"},
        {R"(a\b.)", ""},
        {R"(a\.hidden)", ".hidden"},
        {R"(a.b\c)", ""},                    // the dot belongs to a folder
        {R"(a\x.sdPlugin\)", ".sdPlugin"},   // trailing separator ignored
        {"/opt/x.sdPlugin", ".sdPlugin"},
        {"", ""},
        {"noext", ""},
        {".", ""},
        {R"(C:\)", ""},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE("path: " + c.path);
        EXPECT_EQ(GetExtension(c.path), c.expected);
    }
}

TEST(PluginPathsTest, IsUncRootRecognisesShareRoots) {
    const std::vector<FlagCase> cases = {
        {R"(\\server)", true},
        {R"(\\server\share)", true},
        {R"(\\server\share\)", false},
        {R"(\\server\share\dir)", false},
        {R"(\\)", true},
        {"//host/share", true},
        {"//host/share/dir", false},
        {R"(\server)", false},
        {"", false},
        {R"(\)", false},
        {"/", false},
        {R"(\\server/share/dir)", true},     // forward slashes are plain characters here
        {R"(C:\a)", false},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE("path: " + c.path);
        EXPECT_EQ(IsUncRoot(c.path), c.expected);
    }
}

TEST(PluginPathsTest, GetParentPathWalksUpOneLevelAndKeepsRoots) {
    const std::vector<PathCase> cases = {
        {R"(C:\a\b)", R"(C:\a)"},
        {R"(C:\a\b\)", R"(C:\a)"},
        {R"(C:\a)", R"(C:\)"},
        {R"(C:\)", R"(C:\)"},
        {"C:/a", R"(C:\)"},
        {"C:/", "C:/"},
        {"C:", "C:/"},
        {R"(a\\b)", "a"},
        {R"(a\b)", "a"},
        {"a", ""},
        {"", ""},
        {R"(\a)", ""},
        {"/usr/x", "/usr"},
        {"/usr", "/"},
        {"/", "/"},
        {"/usr//x//", "/usr"},
        {R"(\\server\share\dir)", R"(\\server\share)"},
        {R"(\\server\share)", R"(\\server\share)"},
        {R"(D:\Apps\x.sdPlugin\bin\tool.exe)", R"(D:\Apps\x.sdPlugin\bin)"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE("path: " + c.path);
        EXPECT_EQ(GetParentPath(c.path), c.expected);
    }
}

TEST(PluginPathsTest, JoinPathPutsExactlyOneBackslashAtTheSeam) {
    const std::vector<JoinCase> cases = {
        {R"(C:\p)", "en.json", R"(C:\p\en.json)"},
        {R"(C:\p\)", R"(\en.json)", R"(C:\p\en.json)"},
        {R"(C:\p\)", "en.json", R"(C:\p\en.json)"},
        {R"(C:\p)", R"(\en.json)", R"(C:\p\en.json)"},
        {"C:/p", "a/b", R"(C:\p\a\b)"},
        {"C:/p/", "/a", R"(C:\p\a)"},
        {"", "a/b", "a/b"},                  // an empty base leaves the name untouched
        {"", "", ""},
        {R"(C:\p)", "", R"(C:\p\)"},
        {"/opt/x.sdPlugin", "de.json", R"(\opt\x.sdPlugin\de.json)"},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE("base: " + c.base + "  name: " + c.name);
        EXPECT_EQ(JoinPath(c.base, c.name), c.expected);
    }
}

// GetPluginFolder keeps its first success for the life of the process, so each
// test that expects one runs in a process of its own (ctest does that). When an
// earlier test in the same process already filled the cache, there is nothing
// left to observe.
bool PluginFolderAlreadyCached() {
    platform::recording::SetExecutablePath("");
    return !GetPluginFolder().empty();
}

TEST(GetPluginFolderTest, FailedSearchesAreRetriedAndTheFirstSuccessIsKept) {
    if (PluginFolderAlreadyCached()) GTEST_SKIP() << "plugin folder cached by an earlier test in this process";

    const std::vector<std::string> notFound = {
        "",                                         // the system could not tell
        R"(D:\Apps\tool.exe)",
        R"(D:\Apps\x.SDPLUGIN\tool.exe)",           // the extension is compared case-sensitively
        R"(D:\Apps\x.sdPlugin.old\tool.exe)",
        R"(D:\Apps\x.sdPluginX\tool.exe)",
        R"(bin\tool.exe)",                          // a relative path runs out of components
        "/usr/bin/deckmouse",
        R"(\\server\share\bin\tool.exe)",           // stops at the share root
        "tool.exe",
    };
    for (const std::string& path : notFound) {
        SCOPED_TRACE("executable: " + path);
        platform::recording::SetExecutablePath(path);
        EXPECT_EQ(GetPluginFolder(), "");
    }

    platform::recording::SetExecutablePath(R"(D:\Apps\x.sdPlugin\bin\tool.exe)");
    EXPECT_EQ(GetPluginFolder(), R"(D:\Apps\x.sdPlugin)");

    // Once found, the executable is not asked again.
    platform::recording::SetExecutablePath(R"(E:\Other\y.sdPlugin\tool.exe)");
    EXPECT_EQ(GetPluginFolder(), R"(D:\Apps\x.sdPlugin)");
    platform::recording::SetExecutablePath("");
    EXPECT_EQ(GetPluginFolder(), R"(D:\Apps\x.sdPlugin)");
}

struct FolderCase {
    const char* name;
    std::string executable;
    std::string expected;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.executable; }

class GetPluginFolderFromExecutable : public testing::TestWithParam<FolderCase> {};

TEST_P(GetPluginFolderFromExecutable, FindsTheNearestEnclosingPluginFolder) {
    if (PluginFolderAlreadyCached()) GTEST_SKIP() << "plugin folder cached by an earlier test in this process";
    platform::recording::SetExecutablePath(GetParam().executable);
    EXPECT_EQ(GetPluginFolder(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GetPluginFolderFromExecutable,
    testing::Values(FolderCase{"WindowsBin", R"(D:\Apps\x.sdPlugin\bin\tool.exe)", R"(D:\Apps\x.sdPlugin)"},
                    FolderCase{"DirectChild", R"(D:\Apps\x.sdPlugin\tool.exe)", R"(D:\Apps\x.sdPlugin)"},
                    FolderCase{"ExecutableItself", R"(D:\Apps\tool.sdPlugin)", R"(D:\Apps\tool.sdPlugin)"},
                    FolderCase{"FolderNamedOnlyExtension", R"(D:\.sdPlugin\bin\tool.exe)", R"(D:\.sdPlugin)"},
                    FolderCase{"NearestOfTwo", R"(C:\a.sdPlugin\b.sdPlugin\bin\tool.exe)", R"(C:\a.sdPlugin\b.sdPlugin)"},
                    FolderCase{"LinuxPath", "/opt/x.sdPlugin/bin/deckmouse", "/opt/x.sdPlugin"},
                    FolderCase{"UncShare", R"(\\server\share\x.sdPlugin\bin\tool.exe)", R"(\\server\share\x.sdPlugin)"},
                    FolderCase{"DeepInside", R"(C:\x.sdPlugin\a\b\c\d\tool.exe)", R"(C:\x.sdPlugin)"}),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

}  // namespace
