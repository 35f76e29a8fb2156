#pragma once
// A test plan: named steps, each one operation with its arguments and the measurements it
// takes with their validators. Read from JSON and checked whole before anything is sent.

#include <QByteArray>
#include <QString>
#include <vector>

#include "run/operations.h"
#include "run/validator.h"

namespace run {

struct PlannedMeasurement {
    QString name;
    ValueType type = ValueType::Number;
    QString units;
    Validator validator;
    // Why this measurement may be looser than the Bluetooth RF test standard's limit
    // (the record keeps it with the validator); empty: it may not.
    QString waiver;
};

struct Step {
    QString name;
    const OperationSpec* op = nullptr;
    Args args;
    std::vector<PlannedMeasurement> measurements;
};

struct Plan {
    QString file;
    QString sha256; // of the plan's bytes as read, hex: which plan exactly a record ran
    QString name;
    bool stopOnFirstFailure = false;
    // How many times a step is tried again after a communication error.
    int retries = 0;
    std::vector<Step> steps;
    // A step measures the radio through a test set.
    bool usesTester = false;
};

constexpr int kMaxRetries = 10;

// Reads and checks the plan in `path`. On failure `error` is one message that names the
// file and the line and column (JSON syntax) or the step, and what is wrong.
bool LoadPlan(const QString& path, Plan& plan, QString& error);
// The same for plan text already read; `file` only names it in messages.
bool ParsePlan(const QByteArray& json, const QString& file, Plan& plan, QString& error);

} // namespace run
