#pragma once
// The two small controls the toolkit lacks: an up/down spinner that drives a line edit,
// and the round chip-state lamp.

#include <QLineEdit>
#include <QWidget>

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

// A line edit whose length limit holds for what the operator types, pastes or drops, but
// not for text the program sets: a value read from the phone or stepped by a spinner
// shows whole even when it is longer than the operator may type.
class TLimitedEdit : public QLineEdit {
    Q_OBJECT
public:
    TLimitedEdit(const QString& text, QWidget* parent, int typingLimit);

    int typingLimit() const { return limit_; }
    bool operatorInput() const { return operatorInput_ > 0; }

protected:
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int limit_;
    int operatorInput_ = 0;
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
