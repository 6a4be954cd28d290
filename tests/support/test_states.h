// Where the rollover test can stand when the program is asked to end: the
// states the end-of-session tests walk through.
#pragma once

enum class State { kIdle, kConfirming, kWatching, kVerdictUp, kJudged };

inline const char *Name(State state)
{
    switch (state) {
    case State::kIdle:
        return "Idle";
    case State::kConfirming:
        return "Confirming";
    case State::kWatching:
        return "Watching";
    case State::kVerdictUp:
        return "Judged, verdict box up";
    default:
        return "Judged";
    }
}

// A test has set the clock, so an end owes the saved date back.
inline bool ClockSet(State state)
{
    return state != State::kIdle && state != State::kConfirming;
}
