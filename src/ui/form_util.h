#pragma once
// Small pieces the form's pages share.

#include <QApplication>
#include <QString>
#include <cstdint>
#include <string>

class QComboBox;
class QLineEdit;
class QVariant;

// Read-only edits look like buttons and are skipped by the tab key.
void SetEditEditable(QLineEdit* edit, bool editable);
// The value stored with the selected item; an invalid QVariant when nothing valid is
// selected.
QVariant GetSelectedObject(QComboBox* box);

namespace ui {

// The data version of every record the form builds and reads.
constexpr uint8_t kVersion = 1;

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Shows the hourglass for the life of the object.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Gives the engine its last-error box: the system's error text in a modal box with no
// owner, an empty caption and one OK button.
void InstallMessageBoxes();

} // namespace ui
