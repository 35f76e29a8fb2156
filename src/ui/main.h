#pragma once
// The Bluetooth test form. For now it only carries its name and caption, so that the
// host's show and close sequence runs end to end.

#include <QWidget>

class Tfrm_main : public QWidget {
    Q_OBJECT
public:
    explicit Tfrm_main(QWidget* parent = nullptr);
    ~Tfrm_main() override;

    // Sends the first commands to the phone and sets up the pages.
    void StartUp();
};
