#pragma once
// The long random run: the form in a test host over a phone simulator that injects random
// faults, driven by random operator actions, closed and reopened now and then. Every
// close must leave HCICommands.ini holding exactly the tabs the form had.

#include <cstdint>
#include <string>
#include <vector>

namespace robust {

struct RandomRunOptions {
    uint64_t seed = 1;
    uint64_t actions = 2000;
    // Stop after this many seconds even when actions are left (0: no limit).
    double seconds = 0;
    // Roughly one close and reopen per this many actions.
    uint32_t reopenEvery = 400;
    // Chance in percent that an action first arms a random phone fault.
    uint32_t faultPercent = 15;
};

struct RandomRunReport {
    uint64_t actions = 0;
    uint64_t opens = 0;
    uint64_t dialogsAnswered = 0;
    uint64_t faultsArmed = 0;
    // Most HCI tabs the form had at a close.
    uint64_t mostHciTabs = 0;
    // One line per broken promise (empty when the run held up).
    std::vector<std::string> failures;
};

RandomRunReport RunRandom(const RandomRunOptions& options);

} // namespace robust
