#pragma once
// Qt aborts the process when its platform cannot connect to a display, so the programs with
// a window choose the platform before Qt starts and say why there is none instead.

#include <initializer_list>
#include <string>

// Chooses the platform, or says why there is no display to start on ("no display", "no
// display (cannot open :1)"). Any of `noScreen` on the command line (a screenshot), or the
// help text, needs no screen, so it renders offscreen; of a platform chosen by the user only
// xcb is tried.
std::string ChoosePlatform(int argc, char** argv, std::initializer_list<const char*> noScreen);
