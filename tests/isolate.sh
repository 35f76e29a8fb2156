#!/bin/sh
# Runs one test process with a fresh HOME and APPDATA and the offscreen Qt platform.
dir=$(mktemp -d "${TMPDIR:-/tmp}/bt-test.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT INT TERM
mkdir -p "$dir/home" "$dir/appdata"
HOME="$dir/home" APPDATA="$dir/appdata" XDG_CONFIG_HOME="$dir/home/.config" \
QT_QPA_PLATFORM=offscreen "$@"
