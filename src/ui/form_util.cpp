#include "ui/form_util.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QVariant>

#include "platform/last_error.h"

void SetEditEditable(QLineEdit* edit, bool editable) {
    if (edit == nullptr) return;
    edit->setReadOnly(!editable);
    QPalette palette = edit->palette();
    const QPalette system;
    palette.setColor(QPalette::Base,
                     editable ? system.color(QPalette::Base) : system.color(QPalette::Button));
    edit->setPalette(palette);
    edit->setFocusPolicy(edit->isReadOnly() ? Qt::ClickFocus : Qt::StrongFocus);
}

QVariant GetSelectedObject(QComboBox* box) {
    if (box == nullptr) return {};
    const int index = box->currentIndex();
    if (index < 0 || index >= box->count()) return {};
    return box->itemData(index);
}

namespace ui {

namespace {

void ShowLastErrorBox(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString(), QString::fromStdString(text), QMessageBox::Ok,
                    nullptr);
    box.exec();
}

} // namespace

void InstallMessageBoxes() {
    platform::SetLastErrorBox(&ShowLastErrorBox);
}

} // namespace ui
