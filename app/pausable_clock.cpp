// The play session's clock, which stops while play is paused and goes on from where it stopped.
#include "app/play_session.h"

namespace pp {

void PausableClock::Pause() {
    if (paused_) return;
    frozen_ = source_->Now() - offset_;
    paused_ = true;
}

void PausableClock::Resume() {
    if (!paused_) return;
    // From here on the clock reads on from the frozen reading, as if no time had passed.
    offset_ = source_->Now() - frozen_;
    paused_ = false;
}

}  // namespace pp
