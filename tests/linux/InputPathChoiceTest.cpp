// The Linux input path chosen for each situation a session can be in, and
// the lines the log gets about it.
#include "platform/linux/InputPathChoice.h"
#include "platform/PlatformLog.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform::linux_input;

namespace {

const char* const kVirtualPointer = "Input through the compositor's virtual pointer";
const char* const kPortal = "Input through the desktop portal's remote desktop";
const char* const kX11 = "Input through X11 (XTest)";
const char* const kOnlyXWayland = "In this Wayland session only programs running through XWayland receive that input";

SessionOffer Offer(bool wayland, bool virtualPointer, bool portal, const char* forced) {
    SessionOffer offer;
    offer.wayland = wayland;
    offer.virtualPointer = virtualPointer;
    offer.portal = portal;
    offer.forced = forced;
    return offer;
}

struct Row {
    const char* situation;
    SessionOffer offer;
    PathKind path;
    std::vector<std::string> lines;
};

TEST(InputPathChoice, EachSituation) {
    const std::vector<Row> rows = {
        {"no Wayland session", Offer(false, false, false, ""), PathKind::X11, {}},
        {"wlroots compositor", Offer(true, true, false, ""), PathKind::Wlroots, {kVirtualPointer}},
        {"wlroots compositor with a portal too", Offer(true, true, true, ""), PathKind::Wlroots, {kVirtualPointer}},
        {"portal only (GNOME, KDE Plasma)", Offer(true, false, true, ""), PathKind::Portal, {kPortal}},
        {"Wayland offering nothing", Offer(true, false, false, ""), PathKind::X11, {kX11, kOnlyXWayland}},
        {"forced x11 beside a virtual pointer", Offer(true, true, true, "x11"), PathKind::X11, {kX11, kOnlyXWayland}},
        {"forced x11 without Wayland", Offer(false, false, false, "x11"), PathKind::X11, {kX11}},
        {"forced portal beside a virtual pointer", Offer(true, true, true, "portal"), PathKind::Portal, {kPortal}},
        {"forced wlroots where only the portal is",
         Offer(true, false, true, "wlroots"),
         PathKind::Portal,
         {"DECKMOUSE_INPUT=wlroots, but this session does not offer the compositor's virtual pointer: choosing by what it offers",
          kPortal}},
        {"forced portal where there is none",
         Offer(false, false, false, "portal"),
         PathKind::X11,
         {"DECKMOUSE_INPUT=portal, but this session does not offer the desktop portal's remote desktop: choosing by what it offers",
          kX11}},
        {"forced with a name no path has",
         Offer(true, true, false, "Wayland"),
         PathKind::Wlroots,
         {"DECKMOUSE_INPUT=\"Wayland\" is none of x11, wlroots, portal: choosing by what the session offers",
          kVirtualPointer}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        const PathChoice choice = ChooseInputPath(row.offer);
        EXPECT_EQ(choice.path, row.path);
        EXPECT_EQ(choice.logLines, row.lines);
    }
}

std::vector<std::string> gLogged;

class OpenedInputPath : public testing::Test {
protected:
    void SetUp() override {
        gLogged.clear();
        platform::SetLogSink([](const std::string& line) { gLogged.push_back(line); });
    }
    void TearDown() override {
        platform::SetLogSink(nullptr);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DECKMOUSE_INPUT");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
};

// A Wayland display that cannot be reached offers no virtual pointer, and a
// session bus that cannot be reached no portal: X11 remains, and the log
// says why.
TEST_F(OpenedInputPath, UnreachableWaylandFallsBackToX11AndSaysSo) {
    setenv("WAYLAND_DISPLAY", "/nonexistent/wayland-9", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    const ChosenInputPath chosen = OpenChosenInputPath();
    ASSERT_NE(chosen.path, nullptr);
    EXPECT_EQ(chosen.kind, PathKind::X11);
    EXPECT_STREQ(chosen.path->Name(), "x11");
    ASSERT_EQ(gLogged.size(), 3u) << testing::PrintToString(gLogged);
    EXPECT_EQ(gLogged[0].rfind("No input through the desktop portal: ", 0), 0u) << gLogged[0];
    EXPECT_EQ(std::vector<std::string>(gLogged.begin() + 1, gLogged.end()),
              (std::vector<std::string>{kX11, kOnlyXWayland}));
}

TEST_F(OpenedInputPath, ForcedPathIsReadFromTheEnvironment) {
    setenv("DECKMOUSE_INPUT", "x11", 1);
    const ChosenInputPath chosen = OpenChosenInputPath();
    ASSERT_NE(chosen.path, nullptr);
    EXPECT_EQ(chosen.kind, PathKind::X11);
    EXPECT_EQ(gLogged, (std::vector<std::string>{kX11}));
}

}  // namespace
