#include "main/Guardian.h"
#include "plugin/GuardianMessages.h"
#include "plugin/MouseInjection.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace platform;

namespace {

constexpr std::uint8_t kLeft = static_cast<std::uint8_t>(MouseButton::Left);
constexpr std::uint8_t kMiddle = static_cast<std::uint8_t>(MouseButton::Middle);
constexpr std::uint8_t kRight = static_cast<std::uint8_t>(MouseButton::Right);
constexpr std::uint8_t kX1 = static_cast<std::uint8_t>(MouseButton::X1);
constexpr std::uint8_t kX2 = static_cast<std::uint8_t>(MouseButton::X2);

constexpr std::uint8_t Down(std::uint8_t button) { return kGuardianPressed | button; }
constexpr std::uint8_t Up(std::uint8_t button) { return kGuardianReleased | button; }
constexpr std::uint8_t KeyDown(ModifierKey key) { return kGuardianKeyPressed | static_cast<std::uint8_t>(key); }
constexpr std::uint8_t KeyUp(ModifierKey key) { return kGuardianKeyReleased | static_cast<std::uint8_t>(key); }

// The input calls and the guardian's messages, as one line each.
std::vector<std::string> Said(const std::vector<recording::Call>& calls) {
    std::vector<std::string> lines;
    for (const recording::Call& call : calls) {
        if (!IsInput(call) && call.what != "TellGuardian") continue;
        std::ostringstream line;
        line << call.what;
        for (const std::int64_t arg : call.args) line << ' ' << arg;
        for (const InputEvent& event : call.events) line << ", " << event;
        lines.push_back(line.str());
    }
    return lines;
}

std::string Told(std::uint8_t message) { return "TellGuardian " + std::to_string(message); }

// What the guardian releases after the plugin ended, from what it read.
struct GuardianCase {
    const char* name;
    std::vector<std::vector<std::uint8_t>> reads;  // one element per read, then the plugin is gone
    std::vector<InputEvent> releases;               // the one batch it sends; none when empty
};

TEST(Guardian, ReleasesWhatTheMessagesLeaveDownUnlessThePluginSaidGoodbye) {
    const GuardianCase cases[] = {
        {"killed with the left button down", {{Down(kLeft)}}, {InputEvent::Up(MouseButton::Left)}},
        {"killed holding two, one let go before",
         {{Down(kLeft), Down(kRight), Up(kLeft)}},
         {InputEvent::Up(MouseButton::Right)}},
        {"messages split over reads as a pipe may hand them",
         {{Down(kMiddle)}, {Down(kLeft)}, {Up(kMiddle), Down(kX2)}},
         {InputEvent::Up(MouseButton::Left), InputEvent::Up(MouseButton::X2)}},
        {"every button down, in the order of MouseButton",
         {{Down(kX2), Down(kX1), Down(kRight), Down(kMiddle), Down(kLeft)}},
         {InputEvent::Up(MouseButton::Left), InputEvent::Up(MouseButton::Middle), InputEvent::Up(MouseButton::Right),
          InputEvent::Up(MouseButton::X1), InputEvent::Up(MouseButton::X2)}},
        {"all let go before the kill: nothing to release", {{Down(kLeft), Up(kLeft), Down(kX1), Up(kX1)}}, {}},
        {"a release of a button never pressed releases nothing", {{Up(kRight)}}, {}},
        {"goodbye with a button still marked down: the plugin released it itself",
         {{Down(kLeft), kGuardianGoodbye}},
         {}},
        {"nothing after the goodbye counts", {{kGuardianGoodbye}, {Down(kLeft)}}, {}},
        {"unknown messages and buttons change nothing",
         {{0x00, 0x0F, 0x15, 0x1F, 0x25, 0x40, 0xFF, Down(kMiddle)}},
         {InputEvent::Up(MouseButton::Middle)}},
        {"a plugin gone before it said anything", {}, {}},
        {"killed in a Ctrl+Shift drag: the button, then the keys the other way round",
         {{KeyDown(ModifierKey::Ctrl), KeyDown(ModifierKey::Shift), Down(kLeft)}},
         {InputEvent::Up(MouseButton::Left), InputEvent::Release(ModifierKey::Shift),
          InputEvent::Release(ModifierKey::Ctrl)}},
        {"every key down, whatever the order they went down in",
         {{KeyDown(ModifierKey::Shift), KeyDown(ModifierKey::Meta)}, {KeyDown(ModifierKey::Ctrl), KeyDown(ModifierKey::Alt)}},
         {InputEvent::Release(ModifierKey::Meta), InputEvent::Release(ModifierKey::Alt),
          InputEvent::Release(ModifierKey::Shift), InputEvent::Release(ModifierKey::Ctrl)}},
        {"a key let go before the kill", {{KeyDown(ModifierKey::Alt), KeyUp(ModifierKey::Alt)}}, {}},
        {"a key's release is not a button's",
         {{KeyDown(ModifierKey::Ctrl), Down(kLeft), Up(kLeft)}, {Down(kMiddle), KeyUp(ModifierKey::Shift)}},
         {InputEvent::Up(MouseButton::Middle), InputEvent::Release(ModifierKey::Ctrl)}},
        {"goodbye with a key still marked down", {{KeyDown(ModifierKey::Meta), kGuardianGoodbye}}, {}},
        {"unknown keys change nothing",
         {{0x54, 0x5F, 0x64, 0x6F, 0x70, KeyDown(ModifierKey::Shift)}},
         {InputEvent::Release(ModifierKey::Shift)}},
    };
    for (const GuardianCase& row : cases) {
        SCOPED_TRACE(row.name);
        recording::Reset();
        recording::SetPluginReads(row.reads);
        EXPECT_EQ(RunGuardian(), 0);
        std::vector<Injected> expected;
        if (!row.releases.empty()) expected.push_back(Injected("SendInput", {}, row.releases));
        EXPECT_EQ(Describe(TakeInputCalls()), expected);
    }
}

TEST(Guardian, AReleaseTheSystemRefusesEndsWithAnError) {
    recording::Reset();
    recording::SetSendInputFails(true);
    recording::SetPluginReads({{Down(kLeft)}});
    EXPECT_EQ(RunGuardian(), 1);
}

// The gate tells the guardian of a press before it injects it and of a
// release after, each button once per injection, whatever call injects.
TEST(Guardian, TheGateTellsPressesBeforeAndReleasesAfterInjecting) {
    struct Step {
        const char* name;
        void (*inject)();
        std::vector<std::string> said;
    };
    const Step steps[] = {
        {"mouse_event presses", [] { InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0); },
         {Told(Down(kLeft)), "mouse_event 2 0"}},
        {"mouse_event releases", [] { InjectMouseEvent(MOUSEEVENTF_LEFTUP, 0); },
         {"mouse_event 4 0", Told(Up(kLeft))}},
        {"a click in one mouse_event",
         [] { InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP, 0); },
         {Told(Down(kRight)), "mouse_event 24 0", Told(Up(kRight))}},
        {"an extra button by its data", [] { InjectMouseEvent(MOUSEEVENTF_XDOWN, XBUTTON2); },
         {Told(Down(kX2)), "mouse_event 128 2"}},
        {"a wheel holds nothing", [] { InjectMouseEvent(MOUSEEVENTF_WHEEL, 120); }, {"mouse_event 2048 120"}},
        {"a batch's click",
         [] {
             InjectInputBatch({InputEvent::MoveTo(3, 4), InputEvent::Down(MouseButton::Middle),
                               InputEvent::Up(MouseButton::Middle)});
         },
         {Told(Down(kMiddle)), "SendInput, move 3 4, down middle, up middle", Told(Up(kMiddle))}},
        {"a batch that ends with the button down again",
         [] { InjectInputBatch({InputEvent::Up(MouseButton::X2), InputEvent::Down(MouseButton::X2)}); },
         {Told(Down(kX2)), "SendInput, up x2, down x2"}},
        {"a batch that only moves", [] { InjectInputBatch({InputEvent::MoveBy(1, 0)}); },
         {"SendInput, relative 1 0"}},
        {"a Ctrl click: keys as buttons",
         [] {
             InjectInputBatch({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Down(MouseButton::Left),
                               InputEvent::Up(MouseButton::Left), InputEvent::Release(ModifierKey::Ctrl)});
         },
         {Told(KeyDown(ModifierKey::Ctrl)), Told(Down(kLeft)),
          "SendInput, press ctrl, down left, up left, release ctrl", Told(Up(kLeft)),
          Told(KeyUp(ModifierKey::Ctrl))}},
        {"a Shift drag lock's press",
         [] { InjectInputBatch({InputEvent::Press(ModifierKey::Shift), InputEvent::Down(MouseButton::Left)}); },
         {Told(KeyDown(ModifierKey::Shift)), Told(Down(kLeft)), "SendInput, press shift, down left"}},
        {"a drag under the lock", [] { InjectInputBatch({InputEvent::MoveBy(4, 0)}); }, {"SendInput, relative 4 0"}},
        {"the lock's release",
         [] { InjectInputBatch({InputEvent::Up(MouseButton::Left), InputEvent::Release(ModifierKey::Shift)}); },
         {"SendInput, up left, release shift", Told(Up(kLeft)), Told(KeyUp(ModifierKey::Shift))}},
    };
    recording::Reset();
    ASSERT_TRUE(StartGuardian(RunGuardian));
    recording::TakeCalls();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.inject();
        EXPECT_EQ(Said(recording::TakeCalls()), step.said);
    }
}

// A batch the system refuses counts as made: the guardian still hears of
// its press, so a kill cannot leave a half-made batch's button down.
TEST(Guardian, TheGateTellsTheButtonsOfARefusedBatch) {
    recording::Reset();
    ASSERT_TRUE(StartGuardian(RunGuardian));
    recording::SetSendInputFails(true);
    recording::TakeCalls();
    EXPECT_FALSE(InjectInputBatch({InputEvent::Down(MouseButton::Left)}));
    EXPECT_EQ(Said(recording::TakeCalls()), (std::vector<std::string>{Told(Down(kLeft)), "SendInput, down left"}));
}

// The goodbye comes only once the releases are out, and nothing after it.
TEST(Guardian, EndInputSaysGoodbyeAfterItsReleases) {
    recording::Reset();
    ASSERT_TRUE(StartGuardian(RunGuardian));
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    InjectInputBatch({InputEvent::Down(MouseButton::X1)});
    recording::TakeCalls();
    EndInput();
    InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN, 0);
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 4 0", Told(Up(kLeft)), "mouse_event 256 1", Told(Up(kX1)),
                                        Told(kGuardianGoodbye)}));
}

// The keys after the buttons, each told once it is released.
TEST(Guardian, EndInputReleasesKeysAfterButtonsAndSaysGoodbyeLast) {
    recording::Reset();
    ASSERT_TRUE(StartGuardian(RunGuardian));
    InjectInputBatch({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Press(ModifierKey::Alt),
                      InputEvent::Down(MouseButton::Right)});
    InjectInputBatch({InputEvent::Press(ModifierKey::Meta), InputEvent::Release(ModifierKey::Meta)});
    recording::TakeCalls();
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 16 0", Told(Up(kRight)), "SendInput, release alt, release ctrl",
                                        Told(KeyUp(ModifierKey::Alt)), Told(KeyUp(ModifierKey::Ctrl)),
                                        Told(kGuardianGoodbye)}));
}

// Without a guardian (none could start) the plugin injects as before.
TEST(Guardian, WithoutAGuardianTheGateOnlyInjects) {
    recording::Reset();
    recording::SetStartGuardianFails(true);
    EXPECT_FALSE(StartGuardian(RunGuardian));
    recording::TakeCalls();
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()), (std::vector<std::string>{"mouse_event 2 0", "mouse_event 4 0"}));
}

}  // namespace
