#pragma once
// btrun --station-config FILE: the station of several slots with standard input as its
// scanner and standard error as its screen.

#include <functional>

namespace btrun {

struct Settings;

// Reads serials ("A:SN123" or "SN123") a line at a time and runs them on the slots at
// once; at the end of input waits for the phones under test. `interrupted` is polled: it
// aborts every slot. Exit status: the most serious outcome of all phones (0, 1, 2, 3), 3
// when a slot cannot start, 65 a station file that cannot be used or no phone tested.
int StationMain(const Settings& s, std::function<bool()> interrupted);

} // namespace btrun
