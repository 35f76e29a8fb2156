#pragma once
// One slot of the station on the operator's screen: its phone's serial, one word that reads
// from two metres (the run's outcome, or that the serial waits for repair), why, and while
// the phone runs the step in progress and each measurement on its gauge. The word stays
// until the next scan for the slot.

#include <QFrame>
#include <QString>

#include "runner/station.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace btoperator {

class LimitGauge;

class SlotTile : public QFrame {
    Q_OBJECT
public:
    enum class State { Ready, Running, Pass, Fail, Error, Aborted, ToRepair };

    // `abortKey`: the key that aborts the slot's run, named on its button ("F1").
    SlotTile(const QString& slot, const QString& abortKey, QWidget* parent = nullptr);

    void Show(const btrun::SlotEvent& event);
    // A scan refused: the serial failed too often and waits for a supervisor.
    void ShowToRepair(const QString& serial, int failures);
    // A supervisor let `serial` be tested again.
    void ShowReleased(const QString& serial, const QString& supervisor);

    State Current() const { return state_; }
    QString Word() const;
    QString Serial() const;
    QString Why() const;
    QString StepText() const;
    // The share of the run's steps begun, 0 to 1.
    double Progress() const;
    QList<LimitGauge*> Gauges() const;

signals:
    void abortRequested(const QString& slot);

private:
    void SetState(State state, const QString& why = {});
    void Started(const QString& serial);
    void Measured(const QJsonObject& data);

    QString slot_;
    State state_ = State::Ready;
    QLabel* serial_ = nullptr;
    QLabel* word_ = nullptr;
    QLabel* why_ = nullptr;
    QLabel* step_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* gaugeBox_ = nullptr;
    QVBoxLayout* gauges_ = nullptr;
    QPushButton* abort_ = nullptr;
};

} // namespace btoperator
