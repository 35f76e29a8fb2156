#pragma once
// btrun's exit statuses beyond those of a run's outcome (0 pass, 1 fail, 2 aborted, 3 error).

namespace btrun {

constexpr int kExitNotFound = 1;  // --release-address: no phone holds the address
constexpr int kExitError = 3;     // the link, the phone or the results store failed
constexpr int kExitUsage = 64;    // a bad command line
constexpr int kExitBadInput = 65; // a plan or unit profile that cannot be used

} // namespace btrun
