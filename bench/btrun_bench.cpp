// btrun against the targets of a production line, per protocol (kind 2 text, 1 binary):
//  - PhoneRun: the production plan on the instant in-process simulator and test set (no
//    air time): the runner's CPU time per phone against the time the same bytes take on
//    a 115200-baud serial link;
//  - RadioRun: the same plan with the test set taking its air time, as a real one would:
//    wall time per phone against the air time the plan needs plus the link time of its
//    bytes, CPU per phone, SCPI lines per radio measurement;
//  - FirstByte: the btrun program from exec to the first byte on its serial port (a
//    pseudo-terminal this benchmark holds);
//  - Memory: the peak resident set of one btrun run of the production plan.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bt/ibluetooth.h"
#include "run/executor.h"
#include "run/plan.h"
#include "run/record.h"
#include "runner/command_line.h"
#include "runner/run_host.h"
#include "runner/run_tester.h"

namespace {

const std::string kPlan = std::string(PLANS_DIR) + "/production.json";
const std::string kGolden = std::string(PLANS_DIR) + "/units/golden.json";
const std::string kSmoke = std::string(PLANS_DIR) + "/hci-smoke.json";
constexpr double kBaud = 115200;
// What the serial link adds to each binary request and confirm: start, function,
// length (2) and CRC (2).
constexpr std::size_t kFrameOverhead = 6;

// User and system CPU time of this process so far, in seconds.
void CpuSeconds(double& user, double& system) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
    system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

// Bytes one phone's exchanges put on the serial link: text commands with their CR and
// the replies; binary requests and confirms in their frames.
double LinkBytes(const phonesim::Simulator& phone) {
    double bytes = 0;
    for (const phonesim::TextRecord& r : phone.TextLog())
        bytes += double(r.command.size() + 1 + r.reply.size());
    for (const phonesim::BinaryRecord& r : phone.BinaryLog())
        bytes += double(r.request.size() + r.confirm.size() + 2 * kFrameOverhead);
    return bytes;
}

bool LoadPlanAndGolden(run::Plan& plan, phonesim::UnitProfile& golden) {
    QString error;
    std::string why;
    return run::LoadPlan(QString::fromStdString(kPlan), plan, error) &&
           phonesim::LoadUnitProfile(kGolden, golden, why);
}

void PhoneRun(benchmark::State& state) {
    run::Plan plan;
    QString error;
    phonesim::UnitProfile golden;
    if (!LoadPlanAndGolden(plan, golden)) {
        state.SkipWithError("cannot read the plan or the unit profile");
        return;
    }
    btrun::RunHost host(static_cast<int>(state.range(0)));
    btrun::TesterSetup tester;
    if (!btrun::MakeTester(btrun::Settings{}, &host.Phone(), tester, error, false, false)) {
        state.SkipWithError("no built-in test set");
        return;
    }
    run::RunOptions options;
    options.textProtocol = host.TextProtocol();
    options.stationId = "bench";
    options.waits = false;
    options.tester = tester.tester.get();
    QTemporaryDir dir;
    uint64_t unit = 0;
    double bytes = 0, exchanges = 0, user0 = 0, system0 = 0, user1 = 0, system1 = 0;
    bool passed = true;
    CpuSeconds(user0, system0);
    for (auto _ : state) {
        host.NewSimulatedUnit(&golden, unit);
        tester.tester->NewRun();
        options.dutId = QString("SN%1").arg(unit++);
        const run::RunRecord record = run::RunPlan(
            plan, [&host] { return host.NewBackEnd(); }, options);
        passed = passed && record.outcome == run::Outcome::Pass;
        QString written;
        if (state.range(1) != 0)
            run::WriteRecord(run::DefaultRecordPath(dir.path(), record.dutId, record.start), record,
                             written, error);
        else
            benchmark::DoNotOptimize(run::RecordText(record));
        bytes = LinkBytes(host.Phone());
        exchanges = double(host.Phone().TextLog().size() + host.Phone().BinaryLog().size());
    }
    CpuSeconds(user1, system1);
    if (!passed) state.SkipWithError("the golden unit did not pass");
    const double n = double(state.iterations());
    const double user = (user1 - user0) / n, system = (system1 - system0) / n;
    const double perPhone = user + system;
    const double linkSeconds = bytes * 10 / kBaud; // 8N1: ten bits a byte
    state.counters["exchanges"] = exchanges;
    state.counters["link_bytes"] = bytes;
    state.counters["link_ms"] = linkSeconds * 1e3;
    state.counters["cpu_ms"] = perPhone * 1e3;
    state.counters["user_ms"] = user * 1e3;
    state.counters["system_ms"] = system * 1e3;
    state.counters["cpu_share_%"] = perPhone / linkSeconds * 100;
}
// write:1 stores each record on disk (temporary file, fdatasync, rename); write:0 only
// makes its text, which leaves the runner's own work.
BENCHMARK(PhoneRun)
    ->ArgNames({"kind", "write"})
    ->ArgsProduct({{2, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The air time the plan's radio steps need, from their arguments: packets of 625 us for
// LE, the slots of the BR packet type (DH1 2, DH3 4, DH5 6 of 625 us), one pass per
// transmitter item (two for modulation).
double AirSeconds(const run::Plan& plan) {
    double seconds = 0;
    for (const run::Step& step : plan.steps) {
        const QString op = step.op->name;
        if (op == "le_rx_test") seconds += double(step.args.value("packets").number) * 625e-6;
        if (op != "le_tx_test" && op != "br_tx_test") continue;
        int passes = 0;
        for (const QString& item : step.args.value("items").items)
            passes += item == "modulation" ? 2 : 1;
        const QString type = step.args.value("packet_type").text;
        const double slotsEach = op == "le_tx_test" ? 1 : type == "DH1" ? 2 : type == "DH3" ? 4 : 6;
        seconds += passes * double(step.args.value("packets").number) * slotsEach * 625e-6;
    }
    return seconds;
}

void RadioRun(benchmark::State& state) {
    run::Plan plan;
    QString error;
    phonesim::UnitProfile golden;
    if (!LoadPlanAndGolden(plan, golden)) {
        state.SkipWithError("cannot read the plan or the unit profile");
        return;
    }
    QTemporaryDir dir;
    btrun::Settings settings;
    settings.scpiLog = dir.filePath("scpi.log");
    btrun::RunHost host(static_cast<int>(state.range(0)));
    btrun::TesterSetup tester;
    if (!btrun::MakeTester(settings, &host.Phone(), tester, error)) {
        state.SkipWithError("no built-in test set");
        return;
    }
    run::RunOptions options;
    options.textProtocol = host.TextProtocol();
    options.tester = tester.tester.get();
    uint64_t unit = 0;
    double wall = 0, cpu = 0, bytes = 0, readings = 0, user0 = 0, system0 = 0, user1 = 0,
           system1 = 0;
    bool passed = true;
    CpuSeconds(user0, system0);
    for (auto _ : state) {
        host.NewSimulatedUnit(&golden, unit++);
        tester.tester->NewRun();
        const auto start = std::chrono::steady_clock::now();
        const run::RunRecord record = run::RunPlan(
            plan, [&host] { return host.NewBackEnd(); }, options);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        passed = passed && record.outcome == run::Outcome::Pass;
        bytes = LinkBytes(host.Phone());
        readings = 0;
        for (const run::PhaseRecord& p : record.phases)
            if (p.operation.endsWith("_test")) readings += double(p.measurements.size());
    }
    CpuSeconds(user1, system1);
    cpu = user1 - user0 + system1 - system0;
    if (!passed) state.SkipWithError("the golden unit did not pass");
    const double n = double(state.iterations());
    const double air = AirSeconds(plan), link = bytes * 10 / kBaud;
    QFile log(settings.scpiLog);
    double sent = 0;
    if (log.open(QIODevice::ReadOnly)) sent = double(QString(log.readAll()).count("Z > "));
    state.counters["air_ms"] = air * 1e3;
    state.counters["link_ms"] = link * 1e3;
    state.counters["wall_ms"] = wall / n * 1e3;
    state.counters["wall_over_air_link_%"] = (wall / n) / (air + link) * 100;
    state.counters["cpu_ms"] = cpu / n * 1e3;
    state.counters["cpu_share_%"] = cpu / wall * 100;
    state.counters["scpi_lines_per_reading"] = sent / n / readings;
}
BENCHMARK(RadioRun)->ArgName("kind")->Arg(2)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

pid_t StartBtrun(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv{const_cast<char*>(BTRUN_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(BTRUN_PATH, argv.data());
    _exit(127);
}

void FirstByte(benchmark::State& state) {
    double cpuMs = 0, queuedMs = 0;
    QTemporaryDir store; // not /dev: the default store lies beside the record
    for (auto _ : state) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        const std::string device = ptsname(master);
        // Held open so that the master does not report a hang-up before btrun opens it.
        const int keeper = open(device.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(keeper, &raw);
        cfmakeraw(&raw);
        tcsetattr(keeper, TCSANOW, &raw);
        const auto start = std::chrono::steady_clock::now();
        // A plan of the phone alone: measuring the radio through --port needs a test set.
        const pid_t pid = StartBtrun({kSmoke, "--port", device, "--interface-kind",
                                      std::to_string(state.range(0)), "--out", "/dev/null", "--db",
                                      "sqlite:" + store.filePath("r.sqlite").toStdString()});
        pollfd in{master, POLLIN, 0};
        const bool arrived = poll(&in, 1, 5000) == 1 && (in.revents & POLLIN);
        const auto end = std::chrono::steady_clock::now();
        // The child's time on a CPU and waiting for one, so far (the machine may be busy).
        double onCpu = 0, runnable = 0;
        if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/schedstat").c_str(), "r")) {
            if (std::fscanf(f, "%lf %lf", &onCpu, &runnable) != 2) onCpu = runnable = 0;
            std::fclose(f);
        }
        cpuMs += onCpu / 1e6;
        queuedMs += runnable / 1e6;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        close(keeper);
        close(master);
        if (!arrived) {
            state.SkipWithError("no byte within 5 s");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["cpu_ms"] = cpuMs / double(state.iterations());
    state.counters["runnable_ms"] = queuedMs / double(state.iterations());
}
BENCHMARK(FirstByte)->ArgName("kind")->Arg(2)->Arg(1)->UseManualTime()->Iterations(10)->Unit(
    benchmark::kMillisecond);

void Memory(benchmark::State& state) {
    QTemporaryDir dir;
    long peakKb = 0;
    for (auto _ : state) {
        const pid_t pid = StartBtrun({kPlan, "--sim-unit", kGolden, "--interface-kind",
                                      std::to_string(state.range(0)), "--out",
                                      dir.filePath("record.json").toStdString()});
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("btrun failed");
        peakKb = usage.ru_maxrss;
    }
    state.counters["max_rss_MB"] = double(peakKb) / 1024.0;
}
BENCHMARK(Memory)->ArgName("kind")->Arg(2)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
