#pragma once

// Intervals of the poll timer, in milliseconds.
namespace PollInterval {

constexpr int Immediate = 10;        // a new address is polled at once
constexpr int AfterReply = 300;      // a unit that answers the status request
constexpr int Regular = 2000;        // also the time a request may go unanswered
constexpr int RestartWait = 10000;   // a rebooting unit
constexpr int DefaultsWait = 12000;  // a unit loading defaults

// The interval a poll tick sets for the tick after it, chosen before the tick
// clears the waiting flags.
constexpr int nextTick(bool restartPending, bool defaultsPending)
{
    return restartPending ? RestartWait : defaultsPending ? DefaultsWait : Regular;
}

} // namespace PollInterval
