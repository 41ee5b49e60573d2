#include "main/Guardian.h"
#include "plugin/GuardianLink.h"
#include "plugin/GuardianMessages.h"
#include "plugin/MouseInjection.h"
#include "ConsoleCapture.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <sstream>
#include <thread>

using namespace platform;

namespace {

using Buttons = std::initializer_list<MouseButton>;
using Keys = std::initializer_list<ModifierKey>;

HeldSet Held(Buttons buttons, Keys keys = {}) {
    HeldSet held;
    for (const MouseButton button : buttons) held.Set(button, true);
    for (const ModifierKey key : keys) held.Set(key, true);
    return held;
}

std::vector<std::uint8_t> Bytes(const GuardianRecord& record) { return {record.begin(), record.end()}; }

std::vector<std::uint8_t> Record(Buttons buttons, Keys keys = {}) { return Bytes(HeldRecord(Held(buttons, keys))); }

const std::vector<std::uint8_t> kGoodbye = Bytes(GoodbyeRecord());

std::vector<std::uint8_t> Joined(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> bytes;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

// The input calls, the guardian's starts and the records its pipe took, as
// one line each.
std::vector<std::string> Said(const std::vector<recording::Call>& calls) {
    std::vector<std::string> lines;
    for (const recording::Call& call : calls) {
        if (!IsInput(call) && call.what != "TellGuardian" && call.what != "StartGuardianAgain") continue;
        std::ostringstream line;
        line << call.what;
        for (const std::int64_t arg : call.args) line << ' ' << arg;
        for (const InputEvent& event : call.events) line << ", " << event;
        lines.push_back(line.str());
    }
    return lines;
}

std::string Told(const std::vector<std::uint8_t>& record) {
    std::string line = "TellGuardian";
    for (const std::uint8_t byte : record) line += ' ' + std::to_string(byte);
    return line;
}

std::string Told(Buttons buttons, Keys keys = {}) { return Told(Record(buttons, keys)); }

// What the guardian releases after the plugin ended, from what it read.
struct GuardianCase {
    const char* name;
    std::vector<std::vector<std::uint8_t>> reads;  // one element per read, then the plugin is gone
    std::vector<InputEvent> releases;               // the one batch it sends; none when empty
};

TEST(Guardian, ReleasesWhatTheLastWholeRecordHoldsUnlessThePluginSaidGoodbye) {
    using B = MouseButton;
    using K = ModifierKey;
    const std::vector<std::uint8_t> leftAndRight = Record({B::Left, B::Right});
    const GuardianCase cases[] = {
        {"killed with the left button down", {Record({B::Left})}, {InputEvent::Up(B::Left)}},
        {"the last record, not the ones before it", {Joined({Record({B::Left, B::Right}), Record({B::Right})})},
         {InputEvent::Up(B::Right)}},
        {"records split over reads as a pipe may hand them",
         {{leftAndRight[0]}, {leftAndRight[1], Record({B::Middle})[0]}, {Record({B::Middle})[1]}},
         {InputEvent::Up(B::Middle)}},
        {"every button, in the order of MouseButton", {Record({B::X2, B::X1, B::Right, B::Middle, B::Left})},
         {InputEvent::Up(B::Left), InputEvent::Up(B::Middle), InputEvent::Up(B::Right), InputEvent::Up(B::X1),
          InputEvent::Up(B::X2)}},
        {"nothing held in the last record", {Record({B::Left}), Record({})}, {}},
        {"a record cut short at the end counts for nothing", {Record({B::Left}), {leftAndRight[0]}},
         {InputEvent::Up(B::Left)}},
        {"a first byte whose second never came, then a whole record",
         {{leftAndRight[0]}, Record({B::X1})},
         {InputEvent::Up(B::X1)}},
        {"a second byte without its first", {Record({B::Left}), {0x01}}, {InputEvent::Up(B::Left)}},
        {"records with bits no button or key has are not read",
         {Record({B::Middle}), {0xA0, 0x00}, {0x80, 0x10}, {0x80, 0x40}, {0xC1, 0x00}, {0xC0, 0x01}},
         {InputEvent::Up(B::Middle)}},
        {"the bytes as they go between processes: the right button with Ctrl and Shift", {{0x84, 0x03}},
         {InputEvent::Up(B::Right), InputEvent::Release(K::Shift), InputEvent::Release(K::Ctrl)}},
        {"goodbye after a record that holds the left button: the plugin released it itself",
         {Joined({Record({B::Left}), kGoodbye})},
         {}},
        {"nothing after the goodbye counts", {kGoodbye, Record({B::Left})}, {}},
        {"a plugin gone before it said anything", {}, {}},
        {"killed in a Ctrl+Shift drag: the button, then the keys the other way round",
         {Record({B::Left}, {K::Ctrl, K::Shift})},
         {InputEvent::Up(B::Left), InputEvent::Release(K::Shift), InputEvent::Release(K::Ctrl)}},
        {"every key", {Record({}, {K::Shift, K::Meta, K::Ctrl, K::Alt})},
         {InputEvent::Release(K::Meta), InputEvent::Release(K::Alt), InputEvent::Release(K::Shift),
          InputEvent::Release(K::Ctrl)}},
        {"a key let go of in the last record", {Record({}, {K::Alt}), Record({B::Middle})},
         {InputEvent::Up(B::Middle)}},
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
    recording::SetPluginReads({Record({MouseButton::Left})});
    EXPECT_EQ(RunGuardian(), 1);
}

// The gate with a guardian started, before any input.
class GuardedGate : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        ASSERT_TRUE(StartGuardianLink(RunGuardian));
        recording::TakeCalls();
    }
};

// The gate tells the guardian all that may be down before it injects a
// press and all that is down after a release, whatever call injects.
TEST_F(GuardedGate, TheGateTellsTheWholeHeldSetBeforePressesAndAfterReleases) {
    using B = MouseButton;
    using K = ModifierKey;
    struct Step {
        const char* name;
        void (*inject)();
        std::vector<std::string> said;
    };
    const Step steps[] = {
        {"mouse_event presses", [] { InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0); }, {Told({B::Left}), "mouse_event 2 0"}},
        {"mouse_event releases", [] { InjectMouseEvent(MOUSEEVENTF_LEFTUP, 0); }, {"mouse_event 4 0", Told({})}},
        {"a click in one mouse_event", [] { InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP, 0); },
         {Told({B::Right}), "mouse_event 24 0", Told({})}},
        {"an extra button by its data", [] { InjectMouseEvent(MOUSEEVENTF_XDOWN, XBUTTON2); },
         {Told({B::X2}), "mouse_event 128 2"}},
        {"a wheel holds nothing", [] { InjectMouseEvent(MOUSEEVENTF_WHEEL, 120); }, {"mouse_event 2048 120"}},
        {"a batch's click, X2 still held",
         [] { InjectInputBatch({InputEvent::MoveTo(3, 4), InputEvent::Down(B::Middle), InputEvent::Up(B::Middle)}); },
         {Told({B::X2, B::Middle}), "SendInput, move 3 4, down middle, up middle", Told({B::X2})}},
        {"a batch that ends with the button down again: nothing new to tell",
         [] { InjectInputBatch({InputEvent::Up(B::X2), InputEvent::Down(B::X2)}); }, {"SendInput, up x2, down x2"}},
        {"a batch that only moves", [] { InjectInputBatch({InputEvent::MoveBy(1, 0)}); }, {"SendInput, relative 1 0"}},
        {"a Ctrl click: keys as buttons",
         [] {
             InjectInputBatch({InputEvent::Press(K::Ctrl), InputEvent::Down(B::Left), InputEvent::Up(B::Left),
                               InputEvent::Release(K::Ctrl)});
         },
         {Told({B::X2, B::Left}, {K::Ctrl}), "SendInput, press ctrl, down left, up left, release ctrl",
          Told({B::X2})}},
        {"a Shift drag lock's press",
         [] { InjectInputBatch({InputEvent::Press(K::Shift), InputEvent::Down(B::Left)}); },
         {Told({B::X2, B::Left}, {K::Shift}), "SendInput, press shift, down left"}},
        {"a drag under the lock", [] { InjectInputBatch({InputEvent::MoveBy(4, 0)}); }, {"SendInput, relative 4 0"}},
        {"the lock's release",
         [] { InjectInputBatch({InputEvent::Up(B::Left), InputEvent::Release(K::Shift)}); },
         {"SendInput, up left, release shift", Told({B::X2})}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.inject();
        EXPECT_EQ(Said(recording::TakeCalls()), step.said);
    }
}

// A batch the system refuses counts as made: the guardian still hears of
// its press, so a kill cannot leave a half-made batch's button down.
TEST_F(GuardedGate, TheGateTellsTheButtonsOfARefusedBatch) {
    recording::SetSendInputFails(true);
    EXPECT_FALSE(InjectInputBatch({InputEvent::Down(MouseButton::Left)}));
    EXPECT_EQ(Said(recording::TakeCalls()), (std::vector<std::string>{Told({MouseButton::Left}), "SendInput, down left"}));
}

// A guardian that stops reading fills its pipe: the plugin goes on
// injecting, keeps the latest set, and the guardian gets it whole once it
// reads again, with no retelling of what it missed, and then all that follows.
TEST_F(GuardedGate, AFullPipeKeepsTheLatestSetForWhenTheGuardianReadsAgain) {
    using B = MouseButton;
    recording::SetGuardianPipeFull(true);
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    InjectInputBatch({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Down(B::Right), InputEvent::Up(B::Right)});
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 2 0", "SendInput, press ctrl, down right, up right"}));

    recording::SetGuardianPipeFull(false);
    std::vector<std::string> said;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (said.empty() && std::chrono::steady_clock::now() < deadline) {
        said = Said(recording::TakeCalls());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(said, std::vector<std::string>{Told({B::Left}, {ModifierKey::Ctrl})});

    InjectMouseEvent(MOUSEEVENTF_LEFTUP, 0);
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 4 0", Told({}, {ModifierKey::Ctrl})}));
}

// A guardian that has ended is started again before the next press is
// injected, and hears all that is held then; once starting fails, no more
// tries. The log says each once.
TEST_F(GuardedGate, AnEndedGuardianIsStartedAgainBeforeTheNextPress) {
    using B = MouseButton;
    struct Step {
        const char* name;
        void (*before)();
        void (*inject)();
        std::vector<std::string> said;
        const char* logged;  // the line the step writes to the log, or none
    };
    const auto nothing = [] {};
    const Step steps[] = {
        {"a press", nothing, [] { InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0); }, {Told({B::Left}), "mouse_event 2 0"},
         nullptr},
        {"the guardian ends; the press of another button", recording::EndGuardian,
         [] { InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN, 0); },
         {"StartGuardianAgain", Told({B::Left, B::Right}), "mouse_event 8 0"}, "The guardian had ended: started it again"},
        {"the guardian ends; releases that leave nothing held start none", recording::EndGuardian,
         [] { InjectInputBatch({InputEvent::Up(B::Left), InputEvent::Up(B::Right)}); },
         {"SendInput, up left, up right"}, nullptr},
        {"the next press does", nothing, [] { InjectMouseEvent(MOUSEEVENTF_MIDDLEDOWN, 0); },
         {"StartGuardianAgain", Told({B::Middle}), "mouse_event 32 0"}, "The guardian had ended: started it again"},
        {"the guardian ends and cannot be started again",
         [] {
             recording::EndGuardian();
             recording::SetStartGuardianFails(true);
         },
         [] { InjectMouseEvent(MOUSEEVENTF_XDOWN, XBUTTON1); }, {"StartGuardianAgain", "mouse_event 128 1"},
         "The guardian had ended and could not be started again: buttons and keys held when the plugin is killed "
         "will stay down"},
        {"no more tries once starting failed", [] { recording::SetStartGuardianFails(false); },
         [] { InjectMouseEvent(MOUSEEVENTF_XDOWN, XBUTTON2); }, {"mouse_event 128 2"}, nullptr},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        const std::string logged = ConsoleOutputOf(step.inject);
        EXPECT_EQ(Said(recording::TakeCalls()), step.said);
        EXPECT_EQ(logged, step.logged == nullptr ? "" : std::string(step.logged) + "\n");
    }
}

// The goodbye comes only once the releases are out, and nothing after it.
TEST_F(GuardedGate, EndInputSaysGoodbyeAfterItsReleases) {
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    InjectInputBatch({InputEvent::Down(MouseButton::X1)});
    recording::TakeCalls();
    EndInput();
    InjectMouseEvent(MOUSEEVENTF_RIGHTDOWN, 0);
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 4 0", Told({MouseButton::X1}), "mouse_event 256 1", Told({}),
                                        Told(kGoodbye)}));
}

// The keys after the buttons, told once they are released.
TEST_F(GuardedGate, EndInputReleasesKeysAfterButtonsAndSaysGoodbyeLast) {
    InjectInputBatch({InputEvent::Press(ModifierKey::Ctrl), InputEvent::Press(ModifierKey::Alt),
                      InputEvent::Down(MouseButton::Right)});
    InjectInputBatch({InputEvent::Press(ModifierKey::Meta), InputEvent::Release(ModifierKey::Meta)});
    recording::TakeCalls();
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()),
              (std::vector<std::string>{"mouse_event 16 0", Told({}, {ModifierKey::Ctrl, ModifierKey::Alt}),
                                        "SendInput, release alt, release ctrl", Told({}), Told(kGoodbye)}));
}

// Without a guardian (none could start) the plugin injects as before, and
// tries no other start.
TEST(Guardian, WithoutAGuardianTheGateOnlyInjects) {
    recording::Reset();
    recording::SetStartGuardianFails(true);
    EXPECT_FALSE(StartGuardianLink(RunGuardian));
    recording::TakeCalls();
    InjectMouseEvent(MOUSEEVENTF_LEFTDOWN, 0);
    EndInput();
    EXPECT_EQ(Said(recording::TakeCalls()), (std::vector<std::string>{"mouse_event 2 0", "mouse_event 4 0"}));
}

}  // namespace
