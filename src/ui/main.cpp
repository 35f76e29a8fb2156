#include "ui/main.h"

#include <QLabel>
#include <QVBoxLayout>

Tfrm_main::Tfrm_main(QWidget* parent) : QWidget(parent) {
    setObjectName("frm_main");
    setWindowTitle("Bluetooth");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Bluetooth", this));
}

Tfrm_main::~Tfrm_main() = default;

void Tfrm_main::StartUp() {}
