#include "ui/form_context.h"

#include <QLineEdit>
#include <QWidget>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/rules.h"

namespace ui {

uint8_t FormContext::ReqVersion(T_ATCTST_BT_FUNCTION function) {
    return Bluetooth().GetReqVersion(ZepBackEnd() ? OpcodeOfFunction(function)
                                                  : static_cast<uint16_t>(function));
}

uint8_t FormContext::ConVersion(T_ATCTST_BT_FUNCTION function) {
    return Bluetooth().GetConVersion(ZepBackEnd() ? OpcodeOfFunction(function)
                                                  : static_cast<uint16_t>(function));
}

std::optional<int32_t> FormContext::WholeNumber(QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    const std::optional<int32_t> number = ReadWholeNumber(text);
    if (!number) ShowConversionError(text);
    return number;
}

void SetChildrenEnabled(QWidget* container, bool enabled) {
    if (container == nullptr) return;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

void LogParameterError(const std::string& text) {
    ShowLine("Parameter error:" + text, 0);
}

} // namespace ui
