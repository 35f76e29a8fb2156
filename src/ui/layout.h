#pragma once
// The form's layout: every control with its name, class, caption, range and initial value.

class QWidget;

namespace ui {

// Builds the controls of the form inside `form` (the content of the scrolling window).
void BuildFormLayout(QWidget* form);

} // namespace ui
