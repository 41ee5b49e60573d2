#include "plugin/key/commands/StepParser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

using platform::MouseButton;
using Kind = Step::Kind;

namespace {

Step Move(Kind kind, int x, int y) {
    Step step;
    step.kind = kind;
    step.x = x;
    step.y = y;
    return step;
}

Step Button(Kind kind, MouseButton button) {
    Step step;
    step.kind = kind;
    step.button = button;
    return step;
}

Step Amount(Kind kind, int amount) {
    Step step;
    step.kind = kind;
    step.amount = amount;
    return step;
}

Step Plain(Kind kind) {
    Step step;
    step.kind = kind;
    return step;
}

}  // namespace

void PrintTo(const Step& step, std::ostream* os) {
    *os << "kind " << static_cast<int>(step.kind) << " (" << step.x << ", " << step.y << ") button "
        << static_cast<int>(step.button) << " amount " << step.amount;
}

void PrintTo(const StepProblem& problem, std::ostream* os) {
    *os << "line " << problem.line << " \"" << problem.text << "\" " << problem.problem;
}

namespace {

struct GoodLine {
    const char* text;
    Step step;
};

TEST(StepParser, EachGoodLineIsOneStep) {
    const std::vector<GoodLine> cases = {
        {"move 100 200", Move(Kind::MoveTo, 100, 200)},
        {"move 0 0", Move(Kind::MoveTo, 0, 0)},
        {"move 65535 65535", Move(Kind::MoveTo, 65535, 65535)},
        {"move +50 +0", Move(Kind::MoveBy, 50, 0)},
        {"move -3 +4", Move(Kind::MoveBy, -3, 4)},
        {"move -65535 -65535", Move(Kind::MoveBy, -65535, -65535)},
        {"MOVE 1 2", Move(Kind::MoveTo, 1, 2)},
        {"  move\t7   8  ", Move(Kind::MoveTo, 7, 8)},
        {"click left", Button(Kind::Click, MouseButton::Left)},
        {"click MIDDLE", Button(Kind::Click, MouseButton::Middle)},
        {"Click Right", Button(Kind::Click, MouseButton::Right)},
        {"double x1", Button(Kind::Double, MouseButton::X1)},
        {"down x2", Button(Kind::Down, MouseButton::X2)},
        {"up left", Button(Kind::Up, MouseButton::Left)},
        {"wheel 120", Amount(Kind::Wheel, 120)},
        {"wheel -60", Amount(Kind::Wheel, -60)},
        {"wheel +7200", Amount(Kind::Wheel, 7200)},
        {"hwheel -7200", Amount(Kind::HWheel, -7200)},
        {"wait 0", Amount(Kind::Wait, 0)},
        {"wait 60000", Amount(Kind::Wait, 60000)},
        {"save", Plain(Kind::Save)},
        {"RETURN", Plain(Kind::Return)},
        {"return\r", Plain(Kind::Return)},
    };
    for (const GoodLine& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedSteps parsed = ParseSteps(c.text);
        EXPECT_EQ(parsed.problems, std::vector<StepProblem>{});
        EXPECT_EQ(parsed.steps, std::vector<Step>{c.step});
    }
}

struct BadLine {
    const char* text;
    const char* problem;
};

TEST(StepParser, EachBadLineIsNamedByItsProblem) {
    const std::vector<BadLine> cases = {
        {"jump 1 2", "unknown-step"},
        {"moveto 1 2", "unknown-step"},
        {"42", "unknown-step"},
        {"click", "wrong-count"},
        {"click left right", "wrong-count"},
        {"move 1", "wrong-count"},
        {"move 1 2 3", "wrong-count"},
        {"save now", "wrong-count"},
        {"return 1", "wrong-count"},
        {"wait", "wrong-count"},
        {"click centre", "bad-button"},
        {"down 1", "bad-button"},
        {"double x3", "bad-button"},
        {"move 10 +10", "mixed-signs"},
        {"move -1 1", "mixed-signs"},
        {"move a 1", "bad-number"},
        {"move 1.5 2", "bad-number"},
        {"move 65536 0", "bad-number"},
        {"move +65536 +0", "bad-number"},
        {"move 99999999999 1", "bad-number"},
        {"move + +1", "bad-number"},
        {"wheel 7201", "bad-number"},
        {"wheel 1e3", "bad-number"},
        {"hwheel --1", "bad-number"},
        {"wait -1", "bad-number"},
        {"wait 60001", "bad-number"},
        {"wait 10ms", "bad-number"},
    };
    for (const BadLine& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedSteps parsed = ParseSteps(c.text);
        EXPECT_EQ(parsed.steps, std::vector<Step>{});
        EXPECT_EQ(parsed.problems, (std::vector<StepProblem>{{1, c.text, c.problem}}));
    }
}

TEST(StepParser, StepsSplitAtSemicolonsAndLinesWhichCountFromOne) {
    const ParsedSteps parsed = ParseSteps("move 100 100; click left;;wait 200\n\n  ; \nmove +50 +0;  jump  \r\nbad 1; return");
    EXPECT_EQ(parsed.steps, (std::vector<Step>{Move(Kind::MoveTo, 100, 100), Button(Kind::Click, MouseButton::Left),
                                               Amount(Kind::Wait, 200), Move(Kind::MoveBy, 50, 0),
                                               Plain(Kind::Return)}));
    EXPECT_EQ(parsed.waitMs, 200);
    EXPECT_EQ(parsed.problems, (std::vector<StepProblem>{{4, "jump", "unknown-step"}, {5, "bad 1", "unknown-step"}}));
}

TEST(StepParser, ALineEndsAtLfCrlfOrALoneCr) {
    struct LineEnds {
        const char* text;
        int badLine;  // the line that "bad" is read on
    };
    const LineEnds cases[] = {
        {"click left\nbad", 2},       {"click left\r\nbad", 2},     {"click left\rbad", 2},
        {"click left\r\r\nbad", 3},   {"click left\n\rbad", 3},     {"click left\n\r\n\rbad", 4},
    };
    for (const LineEnds& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedSteps parsed = ParseSteps(c.text);
        EXPECT_EQ(parsed.steps, std::vector<Step>{Button(Kind::Click, MouseButton::Left)});
        EXPECT_EQ(parsed.problems, (std::vector<StepProblem>{{c.badLine, "bad", "unknown-step"}}));
    }
}

TEST(StepParser, NothingButSpaceAndSeparatorsIsNoStepAndNoProblem) {
    for (const char* text : {"", " ", ";;;", "\n\n", " ; \r\n ;"}) {
        SCOPED_TRACE(text);
        const ParsedSteps parsed = ParseSteps(text);
        EXPECT_TRUE(parsed.steps.empty());
        EXPECT_TRUE(parsed.problems.empty());
    }
}

TEST(StepParser, TheSixtyFifthStepIsOneProblemAndNothingAfterIt) {
    std::string text;
    for (int i = 0; i < kMaxSteps; ++i) text += "click left\n";
    text += "save; jump\nreturn";
    const ParsedSteps parsed = ParseSteps(text);
    EXPECT_EQ(parsed.steps.size(), static_cast<std::size_t>(kMaxSteps));
    EXPECT_EQ(parsed.problems, (std::vector<StepProblem>{{kMaxSteps + 1, "save", "too-many-steps"}}));
}

TEST(StepParser, BadStepsCountTowardsTheLimit) {
    std::string text;
    for (int i = 0; i < kMaxSteps; ++i) text += "jump;";
    text += "save";
    const ParsedSteps parsed = ParseSteps(text);
    ASSERT_EQ(parsed.problems.size(), static_cast<std::size_t>(kMaxSteps + 1));
    EXPECT_EQ(parsed.problems.back().problem, "too-many-steps");
}

TEST(StepParser, AWaitPastSixtySecondsInAllIsAProblemAndNotCounted) {
    const ParsedSteps parsed = ParseSteps("wait 30000\nwait 29999\nwait 2\nwait 1\nwait 5");
    EXPECT_EQ(parsed.steps, (std::vector<Step>{Amount(Kind::Wait, 30000), Amount(Kind::Wait, 29999),
                                               Amount(Kind::Wait, 1)}));
    EXPECT_EQ(parsed.waitMs, 60000);
    EXPECT_EQ(parsed.problems,
              (std::vector<StepProblem>{{3, "wait 2", "too-much-wait"}, {5, "wait 5", "too-much-wait"}}));
}

TEST(StepParser, TheCheckForTheSettingsPage) {
    const ParsedSteps parsed = ParseSteps("wait 150; click left\nclick nowhere");
    EXPECT_EQ(DescribeStepCheck(parsed), nlohmann::json::parse(R"({"steps": 2, "waitMs": 150,
        "problems": [{"line": 2, "text": "click nowhere", "problem": "bad-button"}]})"));
    EXPECT_EQ(DescribeStepCheck(ParsedSteps{}), nlohmann::json::parse(R"({"steps":0,"waitMs":0,"problems":[]})"));
}

}  // namespace
