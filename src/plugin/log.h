#pragma once
// The log callback the host hands the plug-in: every line the plug-in writes goes through
// it. A program that runs the engine on its own (btrun) swaps it to collect the lines,
// and needs nothing else of the host interface.

#include <cstdint>

extern "C" typedef void (*ShowLineFunc)(const char* text, uint8_t flag);

// Null until the host sets it; lines are dropped meanwhile.
extern ShowLineFunc ShowLineCallback;
