#include "host/display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <xcb/xcb.h>

namespace {

bool IsSocket(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool WaylandSocketThere() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!wayland || !*wayland) return false;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return IsSocket(wayland[0] == '/' ? wayland
                                      : std::string(runtime ? runtime : "") + "/" + wayland);
}

// Why the X display cannot be opened, or nothing when it can: a local display or one over
// TCP alike.
std::string XDisplayProblem() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return "no display";
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened ? std::string() : "no display (cannot open " + std::string(display) + ")";
}

bool IsOption(const char* arg, const char* option) {
    const size_t n = std::strlen(option);
    return std::strncmp(arg, option, n) == 0 && (arg[n] == '\0' || arg[n] == '=');
}

// Why there is no display, or nothing.
std::string DisplayProblem(int argc, char** argv, std::initializer_list<const char*> noScreen) {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen && *chosen) return std::strcmp(chosen, "xcb") == 0 ? XDisplayProblem() : "";
    for (int i = 1; i < argc; ++i) {
        bool needsNoScreen = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        for (const char* option : noScreen)
            needsNoScreen = needsNoScreen || IsOption(argv[i], option);
        if (needsNoScreen) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            return {};
        }
    }
    return WaylandSocketThere() ? std::string() : XDisplayProblem();
}

} // namespace

bool ChoosePlatform(int argc, char** argv, const char* program,
                    std::initializer_list<const char*> noScreen) {
    const std::string problem = DisplayProblem(argc, argv, noScreen);
    if (problem.empty()) return true;
    std::fprintf(stderr, "%s: %s: set DISPLAY, or run with QT_QPA_PLATFORM=offscreen\n", program,
                 problem.c_str());
    return false;
}
