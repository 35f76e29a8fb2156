#pragma once
// Small pieces the form's pages share.

#include <QApplication>
#include <QString>
#include <cstdint>
#include <string>

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

} // namespace ui
