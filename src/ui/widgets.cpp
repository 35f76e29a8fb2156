#include "ui/widgets.h"

#include <QLineEdit>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

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
