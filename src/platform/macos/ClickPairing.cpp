#include "platform/macos/ClickPairing.h"

namespace platform::quartz {
namespace {

bool SamePlace(Point a, Point b) { return a.x == b.x && a.y == b.y; }

}  // namespace

int ClickPairing::Press(MouseButton button, Point place, Clock::time_point time, std::chrono::milliseconds interval) {
    const bool continues = last_ && last_->button == button && SamePlace(last_->place, place) &&
                           time - last_->time <= interval;
    const int clickState = continues ? last_->clickState + 1 : 1;
    last_ = LastPress{button, place, time, clickState};
    return clickState;
}

void ClickPairing::MovedTo(Point place) {
    if (last_ && !SamePlace(last_->place, place)) last_.reset();
}

}  // namespace platform::quartz
