#include "run/operations.h"

namespace run {

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

bool ParseHex(const QString& text, QByteArray& out) {
    QString digits;
    for (const QChar ch : text) {
        if (ch == ' ' || ch == ':' || ch == '-') continue;
        const bool hex =
            (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (!hex) return false;
        digits += ch;
    }
    if (digits.isEmpty() || digits.size() % 2 != 0) return false;
    out = QByteArray::fromHex(digits.toLatin1());
    return true;
}

} // namespace run
