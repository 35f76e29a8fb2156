// The form against an instant phone simulator behind the fake host, so that what is
// measured is the plug-in's own work: start-up per protocol (exchanges, bytes on the
// link, CPU time, and the time those bytes would take on a 115200-baud 8N1 link), the
// resident memory an open form adds to a station-like window, and each button handler.
// Modal boxes are answered as soon as they open.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "fake_host.h"
#include "plugin/plugin.h"
#include "ui/main.h"

namespace {

constexpr double kBitsPerByte = 10.0; // start, 8 data, stop
constexpr double kBaud = 115200.0;

// Closes every modal dialog the moment the event loop shows it.
void AnswerBoxes(const std::function<void()>& action) {
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(0);
    });
    timer.start();
    action();
    timer.stop();
}

struct LinkUse {
    std::size_t exchanges = 0;
    std::size_t bytes = 0;
};

// Text: command plus its line end, and the reply. Binary: request and confirm records.
LinkUse Measure(const phonesim::Simulator& phone) {
    LinkUse use;
    for (const auto& rec : phone.TextLog()) {
        ++use.exchanges;
        use.bytes += rec.command.size() + 2 + rec.reply.size();
    }
    for (const auto& rec : phone.BinaryLog()) {
        ++use.exchanges;
        use.bytes += rec.request.size() + rec.confirm.size();
    }
    return use;
}

std::unique_ptr<Tfrm_main> OpenForm(fakehost::FakeHost& host, int32_t kind, QWidget* parent) {
    host.SetInterfaceKind(kind);
    host.Phone().Chip().on = true;
    host.InstallIntoPlugin();
    auto form = std::make_unique<Tfrm_main>(parent);
    frm_main = form.get();
    AnswerBoxes([&] { form->StartUp(); });
    return form;
}

void CloseForm(std::unique_ptr<Tfrm_main>& form) {
    AnswerBoxes([&] { form->close(); });
    frm_main = nullptr;
    form.reset();
}

void BM_FormStartUp(benchmark::State& state) {
    const int32_t kind = static_cast<int32_t>(state.range(0));
    fakehost::FakeHost host;
    LinkUse use;
    for (auto _ : state) {
        host.Phone().ClearLogs();
        auto form = OpenForm(host, kind, nullptr);
        state.PauseTiming();
        use = Measure(host.Phone());
        CloseForm(form);
        host.Phone().Reset();
        state.ResumeTiming();
    }
    state.SetLabel(kind == 2 ? "text protocol" : "binary protocol");
    state.counters["exchanges"] = static_cast<double>(use.exchanges);
    state.counters["bytes"] = static_cast<double>(use.bytes);
    state.counters["link_ms"] = static_cast<double>(use.bytes) * kBitsPerByte / kBaud * 1e3;
}
BENCHMARK(BM_FormStartUp)->Arg(2)->ArgName("kind")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormStartUp)->Arg(1)->ArgName("kind")->Unit(benchmark::kMillisecond);

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Resident memory added by opening the form inside a shown station-like main window with
// an MDI area: the first form (which also pays for what Qt loads on first use of a widget
// class, unless the station already shows such widgets) and a later one.
void BM_FormResidentMemory(benchmark::State& state) {
    const int32_t kind = static_cast<int32_t>(state.range(0));
    fakehost::FakeHost host;
    QMainWindow station;
    auto* area = new QMdiArea;
    station.setCentralWidget(area);
    station.resize(1280, 900);
    if (state.range(1) == 1) {
        // A station shows widgets of its own: one of each common class, so that what Qt
        // loads once per process for them is not counted against the form.
        auto* panel = new QWidget;
        auto* layout = new QVBoxLayout(panel);
        layout->addWidget(new QLineEdit("x"));
        auto* combo = new QComboBox;
        combo->addItem("x");
        layout->addWidget(combo);
        layout->addWidget(new QPushButton("x"));
        layout->addWidget(new QCheckBox("x"));
        layout->addWidget(new QRadioButton("x"));
        layout->addWidget(new QSlider(Qt::Horizontal));
        layout->addWidget(new QGroupBox("x"));
        auto* tabs = new QTabWidget;
        tabs->addTab(new QPlainTextEdit("x"), "x");
        layout->addWidget(tabs);
        layout->addWidget(new QLabel("x"));
        area->addSubWindow(panel)->show();
    }
    station.show();
    QApplication::processEvents();
    long first = 0, later = 0;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            const long before = ResidentKiB();
            auto form = OpenForm(host, kind, nullptr);
            area->addSubWindow(form.get());
            form->show();
            QApplication::processEvents();
            const long added = ResidentKiB() - before;
            if (round == 0) first = added;
            later = added;
            CloseForm(form);
            QApplication::processEvents();
        }
    }
    state.SetLabel(kind == 2 ? "text protocol" : "binary protocol");
    state.counters["first_open_KiB"] = static_cast<double>(first);
    state.counters["later_open_KiB"] = static_cast<double>(later);
}
BENCHMARK(BM_FormResidentMemory)
    ->ArgsProduct({{2, 1}, {0, 1}})
    ->ArgNames({"kind", "station_widgets"})
    ->Iterations(1);

// Every button of an open form, clicked over and over.
struct ButtonBench {
    std::unique_ptr<fakehost::FakeHost> host;
    std::unique_ptr<Tfrm_main> form;
};

// The open form of the protocol being measured; one at a time, as only the newest fake
// host serves the slots.
std::unique_ptr<ButtonBench> g_bench;
int32_t g_benchKind = -1;

void CloseBench() {
    if (g_bench) CloseForm(g_bench->form);
    g_bench.reset();
    g_benchKind = -1;
}

ButtonBench& BenchFor(int32_t kind) {
    if (g_benchKind != kind) {
        CloseBench();
        g_bench = std::make_unique<ButtonBench>();
        g_bench->host = std::make_unique<fakehost::FakeHost>();
        g_bench->form = OpenForm(*g_bench->host, kind, nullptr);
        g_benchKind = kind;
    }
    return *g_bench;
}

void BM_Button(benchmark::State& state, int32_t kind, std::string name) {
    ButtonBench& b = BenchFor(kind);
    auto* button = b.form->findChild<QAbstractButton*>(QString::fromStdString(name));
    if (button == nullptr) {
        state.SkipWithError("no such button");
        return;
    }
    for (auto _ : state) {
        AnswerBoxes([&] { button->click(); });
    }
    state.SetLabel(button->isEnabled() ? "" : "disabled");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char home[] = "/tmp/bt-bench-XXXXXX";
    if (mkdtemp(home) == nullptr) return 1;
    setenv("HOME", home, 1);
    setenv("APPDATA", home, 1);
    // --no_buttons leaves the button benchmarks out, so that nothing opens a form before
    // the memory benchmark does (run it alone for the first-open figure).
    bool buttons = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--no_buttons") {
            buttons = false;
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    for (int32_t kind : {2, 1}) {
        if (!buttons) break;
        ButtonBench& b = BenchFor(kind);
        for (auto* button : b.form->findChildren<QAbstractButton*>()) {
            const std::string name = button->objectName().toStdString();
            if (name.empty()) continue;
            benchmark::RegisterBenchmark(
                ("BM_Button/" + std::string(kind == 2 ? "text/" : "binary/") + name).c_str(),
                [kind, name](benchmark::State& s) { BM_Button(s, kind, name); })
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.05);
        }
        CloseBench();
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseBench();
    return 0;
}
