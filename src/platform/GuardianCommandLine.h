#pragma once

// The first argument of a guardian's command line. A host passes its four
// named pairs and nothing else, so it can never start a guardian by accident.
namespace platform {

constexpr const char* kGuardianSwitch = "--deckmouse-guardian";

}  // namespace platform
