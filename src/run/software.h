#pragma once
// Which program made a record: the project's version and the commit it was built from
// (its short hash when configured in a git checkout, else "unknown"). Fixed when the build
// is configured.

namespace run {

extern const char kSoftwareVersion[];
extern const char kSoftwareCommit[];

} // namespace run
