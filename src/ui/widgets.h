#pragma once
// The two small controls the toolkit lacks: an up/down spinner that drives a line edit,
// and the round chip-state lamp.

#include <QWidget>

class QLineEdit;

// Steps the whole number in its edit by one within [minimum, maximum] and writes the new
// position back as text; the edit's text stays what the page reads.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, QLineEdit* edit, int minimum, int maximum);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setMaximum(int maximum);
    void step(int delta);

private:
    QLineEdit* edit_;
    int min_;
    int max_;
};

// A filled circle; its "lampColor" property is "green" or "red".
class TLamp : public QWidget {
    Q_OBJECT
public:
    explicit TLamp(QWidget* parent);
    void setColor(const QString& color);

protected:
    void paintEvent(QPaintEvent* event) override;
};
