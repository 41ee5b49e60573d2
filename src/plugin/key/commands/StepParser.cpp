#include "plugin/key/commands/StepParser.h"

#include "support/AsciiText.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <sstream>

using platform::MouseButton;

namespace {

struct StepWord {
    const char* word;
    Step::Kind kind;
    std::size_t arguments;
};

// "move" is here once for both of its forms, told apart by the signs.
const StepWord kStepWords[] = {
    {"move", Step::Kind::MoveTo, 2}, {"click", Step::Kind::Click, 1},   {"double", Step::Kind::Double, 1},
    {"down", Step::Kind::Down, 1},   {"up", Step::Kind::Up, 1},         {"wheel", Step::Kind::Wheel, 1},
    {"hwheel", Step::Kind::HWheel, 1}, {"wait", Step::Kind::Wait, 1},   {"save", Step::Kind::Save, 0},
    {"return", Step::Kind::Return, 0},
};

struct ButtonWord {
    const char* word;
    MouseButton button;
};

const ButtonWord kButtonWords[] = {
    {"left", MouseButton::Left}, {"middle", MouseButton::Middle}, {"right", MouseButton::Right},
    {"x1", MouseButton::X1},     {"x2", MouseButton::X2},
};

std::vector<std::string> Words(const std::string& step) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : step + ' ') {
        if (!IsAsciiSpace(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(AsciiLowerCase(word));
            word.clear();
        }
    }
    return words;
}

struct Number {
    std::int64_t value;
    bool signedText;  // written with "+" or "-"
};

// An optional sign and decimal digits, nothing else; nothing when it is not
// that or its size is past any bound a step takes.
std::optional<Number> ReadNumber(const std::string& word) {
    const bool signedText = !word.empty() && (word[0] == '+' || word[0] == '-');
    const std::string digits = word.substr(signedText ? 1 : 0);
    if (digits.empty() || digits.size() > 9) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    const std::int64_t magnitude = std::stoll(digits);
    return Number{word[0] == '-' ? -magnitude : magnitude, signedText};
}

bool Within(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

// The step that the words make, or the code of what is wrong with them.
struct Reading {
    Step step;
    const char* problem = nullptr;
};

Reading Problem(const char* code) { return {Step{}, code}; }

Reading ReadMove(const std::string& xWord, const std::string& yWord) {
    const std::optional<Number> x = ReadNumber(xWord);
    const std::optional<Number> y = ReadNumber(yWord);
    if (!x || !y) return Problem("bad-number");
    if (x->signedText != y->signedText) return Problem("mixed-signs");
    Step step;
    step.kind = x->signedText ? Step::Kind::MoveBy : Step::Kind::MoveTo;
    const std::int64_t low = x->signedText ? -kMaxStepMotion : 0;
    const std::int64_t high = x->signedText ? kMaxStepMotion : kMaxStepPosition;
    if (!Within(x->value, low, high) || !Within(y->value, low, high)) return Problem("bad-number");
    step.x = static_cast<std::int32_t>(x->value);
    step.y = static_cast<std::int32_t>(y->value);
    return {step};
}

Reading ReadButton(Step::Kind kind, const std::string& word) {
    for (const ButtonWord& button : kButtonWords) {
        if (word == button.word) {
            Step step;
            step.kind = kind;
            step.button = button.button;
            return {step};
        }
    }
    return Problem("bad-button");
}

Reading ReadAmount(Step::Kind kind, const std::string& word) {
    const std::optional<Number> number = ReadNumber(word);
    const bool wait = kind == Step::Kind::Wait;
    if (!number || !Within(number->value, wait ? 0 : -kMaxStepWheel, wait ? kMaxStepsWaitMs : kMaxStepWheel)) {
        return Problem("bad-number");
    }
    Step step;
    step.kind = kind;
    step.amount = static_cast<std::int32_t>(number->value);
    return {step};
}

Reading ReadStep(const std::vector<std::string>& words) {
    const auto word = std::find_if(std::begin(kStepWords), std::end(kStepWords),
                                   [&](const StepWord& known) { return words[0] == known.word; });
    if (word == std::end(kStepWords)) return Problem("unknown-step");
    if (words.size() != word->arguments + 1) return Problem("wrong-count");
    switch (word->kind) {
        case Step::Kind::MoveTo:
            return ReadMove(words[1], words[2]);
        case Step::Kind::Click:
        case Step::Kind::Double:
        case Step::Kind::Down:
        case Step::Kind::Up:
            return ReadButton(word->kind, words[1]);
        case Step::Kind::Wheel:
        case Step::Kind::HWheel:
        case Step::Kind::Wait:
            return ReadAmount(word->kind, words[1]);
        default: {
            Step step;
            step.kind = word->kind;
            return {step};
        }
    }
}

// A line ends at LF, CRLF or a lone CR, whichever the text was typed or
// pasted with: steps on lines of their own never run together into one.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            lines.back() += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.emplace_back();
    }
    return lines;
}

}  // namespace

ParsedSteps ParseSteps(const std::string& text) {
    ParsedSteps parsed;
    int steps = 0;
    int number = 0;
    for (const std::string& line : Lines(text)) {
        ++number;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, ';')) {
            const std::string typed = TrimAsciiSpace(part);
            if (typed.empty()) continue;
            if (++steps > kMaxSteps) {
                // One line says it: the steps after it are not looked at.
                parsed.problems.push_back({number, typed, "too-many-steps"});
                return parsed;
            }
            const Reading reading = ReadStep(Words(typed));
            if (reading.problem != nullptr) {
                parsed.problems.push_back({number, typed, reading.problem});
                continue;
            }
            if (reading.step.kind == Step::Kind::Wait) {
                if (parsed.waitMs + reading.step.amount > kMaxStepsWaitMs) {
                    parsed.problems.push_back({number, typed, "too-much-wait"});
                    continue;
                }
                parsed.waitMs += reading.step.amount;
            }
            parsed.steps.push_back(reading.step);
        }
    }
    return parsed;
}

nlohmann::json DescribeStepCheck(const ParsedSteps& parsed) {
    nlohmann::json problems = nlohmann::json::array();
    for (const StepProblem& problem : parsed.problems) {
        problems.push_back({{"line", problem.line}, {"text", problem.text}, {"problem", problem.problem}});
    }
    return {{"steps", parsed.steps.size()}, {"waitMs", parsed.waitMs}, {"problems", problems}};
}
