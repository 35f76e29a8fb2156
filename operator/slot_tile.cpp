#include "operator/slot_tile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

#include "operator/limit_gauge.h"

namespace btoperator {

namespace {

// A label whose text takes as much of it as fits, so the word is as large as the tile allows.
class WordLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetWord(const QString& word) {
        setText(word);
        Fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Fit();
    }

private:
    void Fit() {
        QFont f = font();
        f.setBold(true);
        int size = std::max(12, height() * 2 / 3);
        for (; size > 12; size -= 2) {
            f.setPixelSize(size);
            if (QFontMetrics(f).horizontalAdvance(text()) <= width() - 16) break;
        }
        f.setPixelSize(size);
        setFont(f);
    }
};

struct Look {
    const char* background;
    const char* text;
};

Look LookOf(SlotTile::State state) {
    switch (state) {
    case SlotTile::State::Ready:
        return {"#eceff1", "#607d8b"};
    case SlotTile::State::Running:
        return {"#1565c0", "#ffffff"};
    case SlotTile::State::Pass:
        return {"#2e7d32", "#ffffff"};
    case SlotTile::State::Fail:
        return {"#c62828", "#ffffff"};
    case SlotTile::State::Error:
        return {"#ffb300", "#000000"};
    case SlotTile::State::Aborted:
        return {"#546e7a", "#ffffff"};
    case SlotTile::State::ToRepair:
        return {"#6a1b9a", "#ffffff"};
    }
    return {"#ffffff", "#000000"};
}

} // namespace

SlotTile::SlotTile(const QString& slot, const QString& abortKey, QWidget* parent)
    : QFrame(parent), slot_(slot) {
    setObjectName("slot_" + slot);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* name = new QLabel(slot, this);
    QFont big = name->font();
    big.setPixelSize(28);
    big.setBold(true);
    name->setFont(big);
    serial_ = new QLabel(this);
    QFont serialFont = serial_->font();
    serialFont.setPixelSize(18);
    serial_->setFont(serialFont);
    abort_ = new QPushButton(tr("Abort (%1)").arg(abortKey), this);
    abort_->setFocusPolicy(Qt::NoFocus); // the scan field keeps the keyboard
    abort_->setEnabled(false);
    connect(abort_, &QPushButton::clicked, this, [this] { emit abortRequested(slot_); });
    head->addWidget(name);
    head->addWidget(serial_, 1);
    head->addWidget(abort_);
    layout->addLayout(head);

    word_ = new WordLabel(this);
    word_->setAlignment(Qt::AlignCenter);
    word_->setMinimumHeight(96);
    word_->setAutoFillBackground(true);
    layout->addWidget(word_);
    why_ = new QLabel(this);
    why_->setWordWrap(true);
    QFont whyFont = why_->font();
    whyFont.setPixelSize(16);
    whyFont.setBold(true);
    why_->setFont(whyFont);
    why_->setTextInteractionFlags(Qt::NoTextInteraction);
    layout->addWidget(why_);
    step_ = new QLabel(this);
    layout->addWidget(step_);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(14);
    layout->addWidget(progress_);

    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gaugeBox_ = new QWidget(scroll_);
    gauges_ = new QVBoxLayout(gaugeBox_);
    gauges_->setContentsMargins(0, 0, 0, 0);
    gauges_->addStretch(1);
    scroll_->setWidget(gaugeBox_);
    // While the phone runs the newest reading stays in sight as the layout makes room for it.
    connect(scroll_->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
        if (state_ == State::Running) scroll_->verticalScrollBar()->setValue(max);
    });
    layout->addWidget(scroll_, 1);
    SetState(State::Ready);
}

QString SlotTile::Word() const {
    return word_->text();
}
QString SlotTile::Serial() const {
    return serial_->text();
}
QString SlotTile::Why() const {
    return why_->text();
}
QString SlotTile::StepText() const {
    return step_->text();
}
double SlotTile::Progress() const {
    return double(progress_->value() - progress_->minimum()) /
           std::max(1, progress_->maximum() - progress_->minimum());
}
QList<LimitGauge*> SlotTile::Gauges() const {
    return gaugeBox_->findChildren<LimitGauge*>();
}

void SlotTile::SetState(State state, const QString& why) {
    state_ = state;
    const std::array words{tr("READY"), tr("TESTING"), tr("PASS"),     tr("FAIL"),
                           tr("ERROR"), tr("ABORTED"), tr("TO REPAIR")};
    const Look look = LookOf(state);
    word_->setStyleSheet(
        QString("background-color: %1; color: %2;").arg(look.background, look.text));
    static_cast<WordLabel*>(word_)->SetWord(words[static_cast<size_t>(state)]);
    why_->setText(why);
    abort_->setEnabled(state == State::Running);
}

void SlotTile::Started(const QString& serial) {
    serial_->setText(serial);
    for (LimitGauge* gauge : Gauges())
        delete gauge;
    step_->clear();
    progress_->setRange(0, 1);
    progress_->setValue(0);
    SetState(State::Running);
}

void SlotTile::Measured(const QJsonObject& data) {
    auto* gauge = new LimitGauge(ReadingOf(data), gaugeBox_);
    gauges_->insertWidget(gauges_->count() - 1, gauge);
}

void SlotTile::Show(const btrun::SlotEvent& event) {
    const QJsonObject& d = event.data;
    using Kind = btrun::SlotEvent::Kind;
    switch (event.kind) {
    case Kind::Started:
        Started(event.serial);
        break;
    case Kind::Step:
        progress_->setRange(0, std::max(1, d.value("count").toInt()));
        progress_->setValue(d.value("index").toInt());
        step_->setText(tr("Step %1 of %2: %3")
                           .arg(d.value("index").toInt() + 1)
                           .arg(d.value("count").toInt())
                           .arg(d.value("name").toString()));
        break;
    case Kind::Measurement:
        Measured(d);
        break;
    case Kind::StepDone:
        progress_->setValue(d.value("index").toInt() + 1);
        break;
    case Kind::Message:
        break;
    case Kind::Finished: {
        const QString outcome = d.value("outcome").toString();
        const State state = outcome == "PASS"      ? State::Pass
                            : outcome == "FAIL"    ? State::Fail
                            : outcome == "ABORTED" ? State::Aborted
                                                   : State::Error;
        progress_->setValue(progress_->maximum());
        step_->setText(tr("Done in %1 s").arg(d.value("seconds").toDouble(), 0, 'f', 1));
        SetState(state, d.value("why").toString());
        // The first failing reading in sight, beside the word that names it.
        for (LimitGauge* gauge : Gauges())
            if (!gauge->Shown().pass) {
                // Placed once the layout has run, unless the next scan cleared it by then.
                QTimer::singleShot(0, gauge,
                                   [this, gauge] { scroll_->ensureWidgetVisible(gauge); });
                break;
            }
        break;
    }
    case Kind::Failed:
        if (!event.serial.isEmpty()) serial_->setText(event.serial);
        SetState(State::Error, d.value("why").toString());
        break;
    }
}

void SlotTile::ShowToRepair(const QString& serial, int failures) {
    serial_->setText(serial);
    for (LimitGauge* gauge : Gauges())
        delete gauge;
    step_->clear();
    progress_->setValue(0);
    SetState(State::ToRepair,
             tr("Failed %n time(s): a supervisor must release it (F9)", "", failures));
}

void SlotTile::ShowReleased(const QString& serial, const QString& supervisor) {
    if (state_ == State::ToRepair && serial_->text() == serial)
        why_->setText(tr("Released by %1: scan it again").arg(supervisor));
}

} // namespace btoperator
