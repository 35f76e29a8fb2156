#!/usr/bin/env bash
# Builds the plug-in and the station and starts the station against the built-in
# simulated phone. Extra arguments go to the station (--interface-kind N, --screenshot F).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$root/build/bin/station" "$@"
