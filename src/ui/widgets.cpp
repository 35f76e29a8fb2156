#include "ui/widgets.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <memory>

#include "ui/rules.h"

TUpDown::TUpDown(QWidget* parent, QLineEdit* edit, int minimum, int maximum)
    : QWidget(parent), edit_(edit), min_(minimum), max_(maximum) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setFixedSize(16, 10);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setFixedSize(16, 10);
    layout->addWidget(up);
    layout->addWidget(down);
    connect(up, &QToolButton::clicked, this, [this] { step(1); });
    connect(down, &QToolButton::clicked, this, [this] { step(-1); });
}

void TUpDown::setMaximum(int maximum) {
    max_ = maximum;
}

void TUpDown::step(int delta) {
    const std::optional<int32_t> current = ui::ReadWholeNumber(edit_->text().toStdString());
    const int position = std::clamp(current.value_or(min_) + delta, min_, std::max(min_, max_));
    edit_->setText(QString::number(position));
}

namespace {

// Refuses an operator's change that makes the text longer than the limit. Text the
// program sets always passes, so the edit never counts it as invalid input.
class TypingLimit : public QValidator {
public:
    explicit TypingLimit(TLimitedEdit* edit) : QValidator(edit), edit_(edit) {}
    State validate(QString& input, int&) const override {
        return edit_->operatorInput() && input.size() > edit_->typingLimit() ? Invalid : Acceptable;
    }

private:
    TLimitedEdit* edit_;
};

} // namespace

TLimitedEdit::TLimitedEdit(const QString& text, QWidget* parent, int typingLimit)
    : QLineEdit(text, parent), limit_(typingLimit) {
    setValidator(new TypingLimit(this));
}

bool TLimitedEdit::event(QEvent* event) {
    // Every way the operator changes the text arrives as one of these events: keys (with
    // the paste and undo shortcuts), input methods, drops, the middle-button paste and the
    // context menu, whose actions run while it is open (see contextMenuEvent).
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::Drop:
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu: {
        ++operatorInput_;
        const bool handled = QLineEdit::event(event);
        --operatorInput_;
        return handled;
    }
    default:
        return QLineEdit::event(event);
    }
}

void TLimitedEdit::contextMenuEvent(QContextMenuEvent* event) {
    // Run to its end inside the event, so that its paste counts as the operator's.
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    menu->exec(event->globalPos());
}

TLamp::TLamp(QWidget* parent) : QWidget(parent) {
    setFixedSize(24, 24);
    setColor("red");
}

void TLamp::setColor(const QString& color) {
    setProperty("lampColor", color);
    update();
}

void TLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool green = property("lampColor").toString() == "green";
    painter.setBrush(green ? QColor(0, 160, 0) : QColor(200, 0, 0));
    painter.drawEllipse(rect().adjusted(2, 2, -2, -2));
}
