#include "platform/last_error.h"

#include <QMessageBox>
#include <QString>
#include <cerrno>
#include <cstring>

namespace platform {

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? text : buffer;
}

void ShowLastErrorBox() {
    const int error = errno;
    QMessageBox box(QMessageBox::Critical, QString(), QString::fromStdString(SystemErrorText(error)),
                    QMessageBox::Ok, nullptr);
    box.exec();
}

} // namespace platform
