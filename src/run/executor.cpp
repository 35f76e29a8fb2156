#include "run/executor.h"

#include "run/software.h"
#include "run/standard_limits.h"

#include <QUuid>
#include <string_view>

#include "bt/ibluetooth.h"
#include "plugin/log.h"

namespace run {

namespace {

// The plug-in logs through one process-wide callback; a run collects its lines here.
QStringList* Collected = nullptr;

extern "C" void CollectLine(const char* text, uint8_t flag) {
    if (Collected == nullptr) return;
    const QString line = QString::fromUtf8(text ? text : "");
    Collected->append(flag == 0 ? "Error: " + line : line);
}

class LogCapture {
public:
    LogCapture() : previous_(ShowLineCallback) {
        ShowLineCallback = &CollectLine;
        Collected = &lines_;
    }
    ~LogCapture() {
        ShowLineCallback = previous_;
        Collected = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    QStringList Take() { return std::exchange(lines_, {}); }

private:
    ShowLineFunc previous_;
    QStringList lines_;
};

int Rank(Outcome o) {
    switch (o) {
    case Outcome::Aborted:
        return 4;
    case Outcome::Error:
        return 3;
    case Outcome::Fail:
        return 2;
    case Outcome::Pass:
        return 1;
    default:
        return 0;
    }
}

} // namespace

QString OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Pass:
        return "PASS";
    case Outcome::Fail:
        return "FAIL";
    case Outcome::Error:
        return "ERROR";
    case Outcome::Aborted:
        return "ABORTED";
    default:
        return "SKIPPED";
    }
}

int ExitCodeOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Pass:
        return 0;
    case Outcome::Fail:
        return 1;
    case Outcome::Aborted:
        return 2;
    default:
        return 3;
    }
}

Outcome Worse(Outcome a, Outcome b) {
    return Rank(a) >= Rank(b) ? a : b;
}

namespace {

// One attempt of a step's operation; a failure the link reported makes it a communication
// error with the link's words.
T_Result Attempt(const Step& step, IBluetooth& bt, Readings& readings, QString& failure,
                 const RunOptions& options) {
    readings.clear();
    failure.clear();
    OpContext context{bt,
                      step.args,
                      readings,
                      options.textProtocol,
                      options.aborted,
                      options.waits,
                      options.hciTraffic,
                      options.dutId,
                      options.assignAddress,
                      failure,
                      options.tester};
    T_Result result = step.op->run(context);
    const QString link = options.linkFailure ? options.linkFailure() : QString();
    if (result.code != T_RESULT_OK && !link.isEmpty()) {
        result.code = T_RESULT_FAILED;
        result.text = link.toStdString();
    }
    return result;
}

} // namespace

RunRecord RunPlan(const Plan& plan, const BackEndMaker& makeBackEnd, const RunOptions& options) {
    RunRecord record;
    record.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.dutId = options.dutId;
    record.stationId = options.stationId;
    record.plan = plan.name;
    record.planFile = plan.file;
    record.planSha256 = plan.sha256;
    record.protocol = options.textProtocol ? "text" : "binary";
    record.slot = options.slot;
    record.operatorName = options.operatorName;
    record.partNumber = options.partNumber;
    record.revision = options.revision;
    record.lot = options.lot;
    record.releasedBy = options.releasedBy;
    record.softwareVersion = kSoftwareVersion;
    record.softwareCommit = kSoftwareCommit;
    record.start = QDateTime::currentDateTimeUtc();
    const auto aborted = [&] { return options.aborted && options.aborted(); };

    LogCapture capture;
    if (options.resetLink) options.resetLink();
    const std::unique_ptr<IBluetooth> bt = makeBackEnd();
    bool firstAttempt = true;
    bool stop = false;
    const int count = static_cast<int>(plan.steps.size());
    for (int index = 0; index < count; ++index) {
        const Step& step = plan.steps[static_cast<std::size_t>(index)];
        PhaseRecord phase;
        phase.name = step.name;
        phase.operation = step.op->name;
        if (!stop && options.stepStarted) options.stepStarted(step, index, count);
        if (!stop && aborted()) {
            record.outcome = Outcome::Aborted;
            stop = true;
        }
        if (stop) {
            record.phases.push_back(std::move(phase));
            continue;
        }
        phase.start = index == 0 ? record.start : QDateTime::currentDateTimeUtc();
        Readings readings;
        T_Result result;
        QString failure;
        do {
            ++phase.attempts;
            if (!std::exchange(firstAttempt, false) && options.resetLink) options.resetLink();
            result = Attempt(step, *bt, readings, failure, options);
        } while (result.code == T_RESULT_FAILED && phase.attempts <= plan.retries && !aborted());
        phase.end = QDateTime::currentDateTimeUtc();
        phase.log = capture.Take();

        if (result.code != T_RESULT_OK) {
            phase.outcome = Outcome::Error;
            phase.error = QString::fromStdString(result.text).trimmed();
            if (phase.error.isEmpty())
                phase.error = result.code == T_RESULT_FAILED
                                  ? "communication error"
                                  : QString("refused with status %1").arg(result.code);
            // A link that stays broken after its retries fails every later step as well.
            if (result.code == T_RESULT_FAILED || plan.stopOnFirstFailure) stop = true;
        } else {
            phase.outcome = failure.isEmpty() ? Outcome::Pass : Outcome::Fail;
            phase.error = failure;
            for (const PlannedMeasurement& planned : step.measurements) {
                MeasurementRecord m{planned.name,
                                    readings.value(planned.name),
                                    planned.units,
                                    &planned.validator,
                                    {}};
                m.judgement = Judge(planned.validator, m.value);
                // What the Bluetooth RF test standard asks beyond the plan's limits.
                const QString standard =
                    m.judgement.pass ? StandardFailure(step, planned, readings) : QString();
                if (!standard.isEmpty()) {
                    m.judgement = {false, false};
                    phase.error = phase.error.isEmpty() ? standard : phase.error + "; " + standard;
                }
                if (!m.judgement.pass) phase.outcome = Outcome::Fail;
                phase.measurements.push_back(m);
            }
            if (phase.outcome == Outcome::Fail && plan.stopOnFirstFailure) stop = true;
            // A wait cut short by an abort has not waited as the plan asked.
            if (std::string_view(step.op->name) == "wait" && aborted())
                phase.outcome = Outcome::Aborted;
        }
        record.outcome = Worse(record.outcome, phase.outcome);
        record.phases.push_back(phase);
        if (options.stepDone) options.stepDone(record.phases.back(), index, count);
    }
    record.end = QDateTime::currentDateTimeUtc();
    return record;
}

} // namespace run
