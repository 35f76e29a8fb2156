// random_run [--seed N] [--actions N] [--seconds S]: the random run for as long as asked.
// Exits 1 when a promise broke; a crash or a sanitizer report ends it on its own.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "random_run.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    robust::RandomRunOptions options;
    options.actions = UINT64_MAX;
    options.seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--seed")
            options.seed = std::strtoull(value, nullptr, 10);
        else if (flag == "--actions")
            options.actions = std::strtoull(value, nullptr, 10);
        else if (flag == "--seconds")
            options.seconds = std::strtod(value, nullptr);
        else {
            std::fprintf(stderr, "usage: %s [--seed N] [--actions N] [--seconds S]\n", argv[0]);
            return 2;
        }
    }
    const robust::RandomRunReport report = robust::RunRandom(options);
    std::printf("seed %llu: %llu actions, %llu opens, %llu dialogs answered, %llu faults armed, "
                "at most %llu HCI tabs, %zu failures\n",
                static_cast<unsigned long long>(options.seed),
                static_cast<unsigned long long>(report.actions),
                static_cast<unsigned long long>(report.opens),
                static_cast<unsigned long long>(report.dialogsAnswered),
                static_cast<unsigned long long>(report.faultsArmed),
                static_cast<unsigned long long>(report.mostHciTabs), report.failures.size());
    for (const std::string& failure : report.failures)
        std::printf("  %s\n", failure.c_str());
    return report.failures.empty() ? 0 : 1;
}
