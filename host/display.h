#pragma once
// Qt aborts the process when its platform cannot connect to a display, so the programs with
// a window choose the platform before Qt starts and say why there is none instead.

#include <initializer_list>

// Chooses the platform; false when there is no display to start on, after saying why on
// standard error ("PROGRAM: no display (cannot open :1): set DISPLAY, ..."). Any of
// `noScreen` on the command line (a screenshot), or the help text, needs no screen, so it
// renders offscreen; of a platform chosen by the user only xcb is tried.
bool ChoosePlatform(int argc, char** argv, const char* program,
                    std::initializer_list<const char*> noScreen);
