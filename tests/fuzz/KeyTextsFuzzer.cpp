// The texts a user types into a key's settings and the plugin reads when they
// arrive: "my_steps" and "my_modifiers". Each reading is checked against what
// it promises (bounds, counts, lines, codes), and the step check must always
// make a message the host can be sent.
#include "plugin/ModifierSetting.h"
#include "plugin/key/commands/StepParser.h"
#include "support/AsciiText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string()) {
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    std::abort();
}

bool Within(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

void CheckStep(const Step& step) {
    switch (step.kind) {
        case Step::Kind::MoveTo:
            if (!Within(step.x, 0, kMaxStepPosition) || !Within(step.y, 0, kMaxStepPosition)) Fail("position out of bounds");
            break;
        case Step::Kind::MoveBy:
            if (!Within(step.x, -kMaxStepMotion, kMaxStepMotion) || !Within(step.y, -kMaxStepMotion, kMaxStepMotion)) {
                Fail("motion out of bounds");
            }
            break;
        case Step::Kind::Wheel:
        case Step::Kind::HWheel:
            if (!Within(step.amount, -kMaxStepWheel, kMaxStepWheel)) Fail("wheel out of bounds");
            break;
        case Step::Kind::Wait:
            if (!Within(step.amount, 0, kMaxStepsWaitMs)) Fail("wait out of bounds");
            break;
        default:
            break;
    }
}

void CheckSteps(const std::string& text) {
    const ParsedSteps parsed = ParseSteps(text);
    // Every step read counts, good or bad; the one past the limit is the last problem.
    if (parsed.steps.size() + parsed.problems.size() > static_cast<std::size_t>(kMaxSteps) + 1) Fail("too many steps read");
    std::int64_t waits = 0;
    for (const Step& step : parsed.steps) {
        CheckStep(step);
        if (step.kind == Step::Kind::Wait) waits += step.amount;
    }
    if (waits != parsed.waitMs || waits > kMaxStepsWaitMs) Fail("waits miscounted");
    static const std::set<std::string> kCodes = {"unknown-step", "bad-button", "bad-number", "wrong-count",
                                                 "mixed-signs",  "too-many-steps", "too-much-wait"};
    // A line ends at LF, CRLF or a lone CR.
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
    }
    for (const StepProblem& problem : parsed.problems) {
        if (kCodes.count(problem.problem) == 0) Fail("unknown code", problem.problem);
        if (problem.line < 1 || problem.line > lines) Fail("line out of the text");
        if (problem.text.empty() || text.find(problem.text) == std::string::npos) Fail("step not as typed", problem.text);
    }
    // Valid UTF-8 in, a message out: the host only ever hands us valid text.
    try {
        (void)nlohmann::json(text).dump();
    } catch (const nlohmann::json::type_error&) {
        return;
    }
    (void)DescribeStepCheck(parsed).dump();
}

// The reference reading: the words between "+", white space around them
// dropped, each one of the four names in any case, or the first that is not.
void CheckModifiers(const std::string& text) {
    const ModifierSetting setting = ParseModifierSetting(text);
    Modifiers expected;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = std::min(text.find('+', start), text.size());
        const std::string word = TrimAsciiSpace(text.substr(start, plus - start));
        const std::string upper = AsciiUpperCase(word);
        if (upper == "CTRL") expected.insert(platform::ModifierKey::Ctrl);
        else if (upper == "SHIFT") expected.insert(platform::ModifierKey::Shift);
        else if (upper == "ALT") expected.insert(platform::ModifierKey::Alt);
        else if (upper == "META") expected.insert(platform::ModifierKey::Meta);
        else if (!word.empty()) {
            if (setting.unknownWord != word) Fail("unknown word missed or misnamed", word);
            return;
        }
        if (plus == text.size()) break;
        start = plus + 1;
    }
    if (setting.unknownWord) Fail("a known text refused", text);
    if (setting.keys != expected) Fail("keys differ for", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckSteps(text);
    CheckModifiers(text);
    return 0;
}
