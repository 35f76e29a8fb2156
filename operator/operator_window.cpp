#include "operator/operator_window.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

#include "operator/slot_tile.h"

namespace btoperator {

namespace {

constexpr int kAbortKeys = 8; // F1..F8 abort slots 1..8; F9 is the supervisor's

QLabel* Label(QWidget* parent, int pixels, bool bold = false, const char* name = nullptr) {
    auto* label = new QLabel(parent);
    QFont f = label->font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    label->setFont(f);
    if (name) label->setObjectName(name);
    return label;
}

// The results database's state in the screen's language: the station says "connected" or
// "N runs waiting in the spool"; anything else (why it is out of reach) as it stands.
QString StoreText(const QString& state) {
    static const QRegularExpression kWaiting("^(\\d+) runs waiting in the spool$");
    const QRegularExpressionMatch waiting = kWaiting.match(state);
    if (waiting.hasMatch())
        return OperatorWindow::tr("%n run(s) waiting in the spool", "",
                                  waiting.captured(1).toInt());
    return state == "connected" ? OperatorWindow::tr("connected") : state;
}

} // namespace

OperatorWindow::OperatorWindow(btrun::StationConfig config, QString btrunPath, QWidget* parent)
    : QWidget(parent), config_(std::move(config)), btrunPath_(std::move(btrunPath)) {
    setWindowTitle(tr("Bluetooth test station %1").arg(config_.stationId));
    resize(1280, 800);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeHeader());
    layout->addWidget(MakeTiles(), 1);
    prompt_ = Label(this, 18, false, "prompt");
    layout->addWidget(prompt_);
    scan_ = new QLineEdit(this);
    scan_->setObjectName("scan");
    QFont f = scan_->font();
    f.setPixelSize(24);
    scan_->setFont(f);
    scan_->installEventFilter(this);
    connect(scan_, &QLineEdit::returnPressed, this, [this] {
        const QString line = scan_->text();
        scan_->clear();
        Enter(line);
    });
    layout->addWidget(scan_);
    message_ = Label(this, 18, true, "message");
    message_->setWordWrap(true);
    layout->addWidget(message_);
    setFocusProxy(scan_);
    scan_->setFocus();
    SetMode(Mode::SignIn);
    Refresh();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &OperatorWindow::Refresh);
    timer->start(1000);
}

// The station's end aborts the runs in flight and waits for their records.
OperatorWindow::~OperatorWindow() = default;

QWidget* OperatorWindow::MakeHeader() {
    auto* header = new QWidget(this);
    auto* grid = new QGridLayout(header);
    grid->setContentsMargins(0, 0, 0, 0);
    operatorLabel_ = Label(header, 16, true);
    planLabel_ = Label(header, 16);
    testerLabel_ = Label(header, 16);
    storeLabel_ = Label(header, 16);
    countersLabel_ = Label(header, 22, true, "counters");
    grid->addWidget(operatorLabel_, 0, 0);
    grid->addWidget(planLabel_, 0, 1);
    grid->addWidget(testerLabel_, 1, 0);
    grid->addWidget(storeLabel_, 1, 1);
    grid->addWidget(countersLabel_, 2, 0, 1, 2);
    return header;
}

QWidget* OperatorWindow::MakeTiles() {
    auto* area = new QWidget(this);
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    const int count = static_cast<int>(config_.slotList.size());
    const int columns = count <= 4 ? std::max(count, 1) : (count + 1) / 2;
    for (int i = 0; i < count; ++i) {
        const QString& name = config_.slotList[i].name;
        auto* tile = new SlotTile(name, i < kAbortKeys ? QString("F%1").arg(i + 1) : "", area);
        connect(tile, &SlotTile::abortRequested, this, [this](const QString& slot) {
            if (station_) station_->Abort(slot);
        });
        // Tiles of one width whatever their texts say.
        tile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        grid->addWidget(tile, i / columns, i % columns);
        grid->setColumnStretch(i % columns, 1);
        tiles_[name] = tile;
    }
    return area;
}

QString OperatorWindow::Prompt() const {
    return prompt_->text();
}
QString OperatorWindow::Message() const {
    return message_->text();
}

QString OperatorWindow::Header() const {
    return QStringList{operatorLabel_->text(), planLabel_->text(), testerLabel_->text(),
                       storeLabel_->text(), countersLabel_->text()}
        .join('\n');
}

SlotTile* OperatorWindow::Tile(const QString& slot) const {
    const auto it = tiles_.find(slot);
    return it == tiles_.end() ? nullptr : it->second;
}

void OperatorWindow::SetMode(Mode mode) {
    mode_ = mode;
    switch (mode) {
    case Mode::SignIn:
        prompt_->setText(tr("Sign in: scan your badge or type your name, then Enter"));
        break;
    case Mode::Scan:
        prompt_->setText(tr("Scan a serial (A:SN123 tests on slot A) - F1..F%1 abort a slot, "
                            "Esc aborts all, F9 supervisor release")
                             .arg(std::min<int>(kAbortKeys, tiles_.size())));
        break;
    case Mode::ConfirmAbortAll:
        prompt_->setText(tr("Abort the runs on every slot? Enter: yes, Esc: no"));
        break;
    case Mode::SupervisorBadge:
        prompt_->setText(tr("Supervisor release: scan the supervisor's badge (Esc: cancel)"));
        break;
    case Mode::SupervisorSerial:
        prompt_->setText(
            tr("Supervisor %1: scan the serial to release (Esc: cancel)").arg(supervisor_));
        break;
    }
}

void OperatorWindow::Say(const QString& text, bool bad) {
    message_->setText(text);
    message_->setStyleSheet(bad ? "color: #c62828;" : "");
}

void OperatorWindow::Enter(const QString& entered) {
    const QString line = entered.trimmed();
    lastScan_.reset();
    switch (mode_) {
    case Mode::SignIn:
        if (!line.isEmpty()) SignIn(line);
        break;
    case Mode::Scan:
        if (!line.isEmpty()) Scanned(line);
        break;
    case Mode::ConfirmAbortAll:
        SetMode(Mode::Scan);
        // A serial scanned into the question is a scan, never a yes.
        if (!line.isEmpty()) {
            Scanned(line);
            break;
        }
        station_->AbortAll();
        Say(tr("Aborting the runs on every slot"), true);
        break;
    case Mode::SupervisorBadge:
        if (line.isEmpty()) break;
        supervisor_ = line;
        SetMode(Mode::SupervisorSerial);
        break;
    case Mode::SupervisorSerial:
        if (!line.isEmpty()) Release(line);
        break;
    }
}

void OperatorWindow::SignIn(const QString& name) {
    auto station = std::make_unique<btrun::Station>(config_, btrunPath_, name);
    connect(station.get(), &btrun::Station::event, this, [this](const btrun::SlotEvent& e) {
        if (SlotTile* tile = Tile(e.slot)) tile->Show(e);
        // What the station itself says (its results store out of reach) is for everyone;
        // a slot's own lines are in its records.
        if (e.kind == btrun::SlotEvent::Kind::Message && e.slot.isEmpty())
            Say(e.data.value("text").toString(), true);
        Refresh();
    });
    QString error;
    if (!station->Start(error)) {
        Say(tr("The station cannot start: %1").arg(error), true);
        return;
    }
    station_ = std::move(station);
    operator_ = name;
    Say(tr("Signed in: %1").arg(name));
    SetMode(Mode::Scan);
    Refresh();
}

void OperatorWindow::Scanned(const QString& line) {
    const btrun::ScanResult r = station_->Scan(line);
    lastScan_ = r;
    using Kind = btrun::ScanResult::Kind;
    switch (r.kind) {
    case Kind::Started:
        // The word of the slot's last phone goes with the next scan for it.
        if (SlotTile* tile = Tile(r.slot))
            tile->Show({btrun::SlotEvent::Kind::Started, r.slot, r.serial, {}});
        Say(tr("%1 is tested on slot %2").arg(r.serial, r.slot));
        break;
    case Kind::ToRepair:
        if (SlotTile* tile = Tile(r.slot)) tile->ShowToRepair(r.serial, r.failures);
        Say(tr("%1 failed %n time(s): TO REPAIR, not tested again until a supervisor releases "
               "it (F9)",
               "", r.failures)
                .arg(r.serial),
            true);
        break;
    case Kind::Busy:
        Say(r.slot.isEmpty() ? tr("Every slot is busy: %1 was not started").arg(r.serial)
                             : tr("Slot %1 is busy: %2 was not started").arg(r.slot, r.serial),
            true);
        break;
    case Kind::AlreadyRunning:
        Say(tr("%1 is being tested on slot %2 already").arg(r.serial, r.slot), true);
        break;
    case Kind::SlotDown:
        Say(tr("Slot %1 cannot test: %2 was not started").arg(r.slot, r.serial), true);
        break;
    case Kind::UnknownSlot:
        Say(tr("This station has no slot %1: %2 was not started").arg(r.slot, r.serial), true);
        break;
    case Kind::Empty:
        Say(tr("No serial in the scan: %1").arg(line), true);
        break;
    }
}

void OperatorWindow::Release(const QString& serial) {
    station_->Release(serial, supervisor_);
    for (const auto& [name, tile] : tiles_)
        tile->ShowReleased(serial, supervisor_);
    Say(tr("%1 released by %2: it may be tested again").arg(serial, supervisor_));
    SetMode(Mode::Scan);
}

// The keys of the station, wherever the keyboard's focus is: F1..F8 abort a slot, Esc asks
// before it aborts every slot (and cancels a question), F9 opens a supervisor's release.
bool OperatorWindow::FunctionKey(int key) {
    if (key == Qt::Key_Escape && mode_ != Mode::Scan && mode_ != Mode::SignIn) {
        Say(mode_ == Mode::ConfirmAbortAll ? tr("Nothing aborted") : tr("Release cancelled"));
        SetMode(Mode::Scan);
        return true;
    }
    if (!station_ || mode_ != Mode::Scan) return key >= Qt::Key_F1 && key <= Qt::Key_F12;
    if (key == Qt::Key_Escape) {
        SetMode(Mode::ConfirmAbortAll);
        return true;
    }
    if (key == Qt::Key_F9) {
        supervisor_.clear();
        SetMode(Mode::SupervisorBadge);
        return true;
    }
    const int index = key - Qt::Key_F1;
    if (index < 0 || index >= kAbortKeys) return false;
    if (index < static_cast<int>(config_.slotList.size())) {
        const QString& slot = config_.slotList[index].name;
        station_->Abort(slot);
        Say(tr("Aborting the run on slot %1").arg(slot), true);
    }
    return true;
}

bool OperatorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && FunctionKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void OperatorWindow::Refresh() {
    operatorLabel_->setText(operator_.isEmpty() ? tr("Operator: not signed in")
                                                : tr("Operator: %1").arg(operator_));
    if (!station_) {
        planLabel_->setText(tr("Station %1").arg(config_.stationId));
        testerLabel_->clear();
        storeLabel_->clear();
        countersLabel_->clear();
        return;
    }
    planLabel_->setText(
        tr("Plan: %1 (SHA-256 %2)").arg(station_->PlanName(), station_->PlanSha256().left(12)));
    const QString tester = station_->TesterIdentity();
    testerLabel_->setText(tester.isEmpty() ? tr("Test set: not answered yet")
                                           : tr("Test set: %1").arg(tester));
    storeLabel_->setText(tr("Database: %1").arg(StoreText(station_->StoreState())));
    const btrun::ShiftCounters c = station_->Counters();
    countersLabel_->setText(
        tr("Tested %1    Passed %2    Failed %3    Errors %4    First-pass yield %5 %")
            .arg(c.tested)
            .arg(c.passed)
            .arg(c.failed)
            .arg(c.errors)
            .arg(c.FirstPassYield(), 0, 'f', 1));
}

} // namespace btoperator
