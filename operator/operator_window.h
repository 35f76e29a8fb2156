#pragma once
// The operator's screen of a station: a tile per slot, the shift's counters and the state of
// the plan, the test set and the results database above, one scan field below that always
// has the keyboard. A barcode scanner types a line and Enter into it: the operator's badge
// to sign in, then serials; the function keys abort a slot, Esc the whole station, F9 opens
// a supervisor's release. The runs are the Station's; the screen shows what it reports.

#include <QString>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>

#include "runner/station.h"

class QLabel;
class QLineEdit;

namespace btoperator {

class SlotTile;

class OperatorWindow : public QWidget {
    Q_OBJECT
public:
    // `btrunPath`: the btrun the slots run. The station starts once an operator signed in.
    OperatorWindow(btrun::StationConfig config, QString btrunPath, QWidget* parent = nullptr);
    ~OperatorWindow() override;

    // A line as the scan field takes it on Enter (the keyboard's, the scanner's, a script's).
    void Enter(const QString& line);

    QLineEdit* ScanField() const { return scan_; }
    QString Prompt() const;
    QString Message() const;
    // The header's texts: operator, plan, test set, database, counters.
    QString Header() const;
    SlotTile* Tile(const QString& slot) const;
    // Null until an operator signed in and the station started.
    btrun::Station* Station() const { return station_.get(); }
    std::optional<btrun::ScanResult> LastScan() const { return lastScan_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Mode { SignIn, Scan, ConfirmAbortAll, SupervisorBadge, SupervisorSerial };

    QWidget* MakeHeader();
    QWidget* MakeTiles();
    void SetMode(Mode mode);
    void Say(const QString& text, bool bad = false);
    void SignIn(const QString& name);
    void Scanned(const QString& line);
    void Release(const QString& serial);
    bool FunctionKey(int key);
    void Refresh();

    btrun::StationConfig config_;
    QString btrunPath_;
    std::unique_ptr<btrun::Station> station_;
    Mode mode_ = Mode::SignIn;
    QString operator_, supervisor_;
    std::optional<btrun::ScanResult> lastScan_;
    std::map<QString, SlotTile*> tiles_;
    QLabel* operatorLabel_ = nullptr;
    QLabel* planLabel_ = nullptr;
    QLabel* testerLabel_ = nullptr;
    QLabel* storeLabel_ = nullptr;
    QLabel* countersLabel_ = nullptr;
    QLabel* prompt_ = nullptr;
    QLabel* message_ = nullptr;
    QLineEdit* scan_ = nullptr;
};

} // namespace btoperator
