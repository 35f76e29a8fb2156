// Time to build a text command and parse its reply, set against the time the same bytes
// (command plus reply) need on a 115200-baud 8N1 serial link. The summary after the
// table gives that ratio per benchmark: 0.01 means the codec costs 1% of the wire time.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "transport/itransportservice.h"
#include "zep/managed_if.h"

namespace {

constexpr double kBitsPerByte = 10.0; // start, 8 data, stop
constexpr double kBaud = 115200.0;

// Answers every command with one fixed reply, at no cost of its own beyond a copy.
class FixedReply : public ITransportService {
public:
    explicit FixedReply(std::string reply) : reply_(std::move(reply)) {}
    T_Result DoSendReceive(const std::string& command) override {
        lastCommandBytes = command.size();
        return T_Result{0, reply_};
    }
    std::size_t ReplyBytes() const { return reply_.size(); }
    std::size_t lastCommandBytes = 0;

private:
    std::string reply_;
};

void SetLinkCounters(benchmark::State& state, std::size_t bytes) {
    const double linkSeconds = static_cast<double>(bytes) * kBitsPerByte / kBaud;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["link_ms"] = linkSeconds * 1e3;
}

void BM_LongestHciCommand(benchmark::State& state) {
    std::string reply = "150\r\n{200";
    for (int i = 1; i < 150; ++i)
        reply += ",200";
    reply += "}\r\n-2147483648\r\nOK\r\n";
    FixedReply link(reply);
    MANAGED_IF::bt command(&link);
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 150;
    std::memset(req.data, 200, sizeof req.data);
    T_BT_HCI_COMMAND_CON con{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(command.hci_command(req, &con));
        benchmark::ClobberMemory();
    }
    SetLinkCounters(state, link.lastCommandBytes + link.ReplyBytes());
}
BENCHMARK(BM_LongestHciCommand);

void BM_ReadAllNvmParams(benchmark::State& state) {
    // Widest values of every kind, one per line as the phone sends them.
    std::string reply = "{255,255,255,255,255,255}\r\n65535\r\n4294967295\r\n"
                        "{255,255,255,255,255,255,255,255}\r\n";
    for (int i = 5; i <= 38; ++i)
        reply += "-128\r\n";
    for (int i = 39; i <= 43; ++i)
        reply += "65535\r\n";
    reply += "OK\r\n";
    FixedReply link(reply);
    MANAGED_IF::bt command(&link);
    T_BT_ALL_NVM_PARAMS params{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(command.read_all_nvm_params(&params));
        benchmark::ClobberMemory();
    }
    SetLinkCounters(state, link.lastCommandBytes + link.ReplyBytes());
}
BENCHMARK(BM_ReadAllNvmParams);

// The console table, then one line per benchmark: CPU time per command against link time.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            // Spread aggregates are no times.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean" &&
                run.aggregate_name != "median")
                continue;
            const auto link = run.counters.find("link_ms");
            if (link == run.counters.end()) continue;
            const double cpuSeconds =
                run.cpu_accumulated_time / static_cast<double>(run.iterations);
            const double linkSeconds = link->second.value / 1e3;
            char line[256];
            std::snprintf(line, sizeof line,
                          "%s: %.2f us to build and parse, %.2f ms on the link, ratio %.2e",
                          run.benchmark_name().c_str(), cpuSeconds * 1e6, linkSeconds * 1e3,
                          cpuSeconds / linkSeconds);
            summary_.push_back(line);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nCodec time against 115200 baud 8N1 (10 bits per byte):\n");
        for (const std::string& line : summary_)
            std::printf("  %s\n", line.c_str());
    }

private:
    std::vector<std::string> summary_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
