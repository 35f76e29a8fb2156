#pragma once
// btrun --calibrate-fixture UNIT.json: measures a golden phone whose output power is known
// (UNIT.json: a unit profile of nominal values) through the fixture with no loss set, and
// writes the loss found on each channel as a fixture file.

namespace btrun {

struct Settings;

// 0 written, 3 the phone or the test set failed, 65 a file that cannot be used.
int CalibrateMain(const Settings& s);

} // namespace btrun
