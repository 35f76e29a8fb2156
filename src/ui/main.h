#pragma once
// The Bluetooth test form: an MDI child of the station with the RF test page, the
// information and auxiliary page and the HCI command page, over one IBluetooth back-end.

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bt/bluetooth_engine.h"
#include "bt/bt_types.h"
#include "bt/nvm_params.h"
#include "ui/current_form.h"
#include "ui/form_context.h"
#include "ui/hci_commands.h"
#include "ui/layout.h"

class IBluetooth;

namespace ui {
class AuxPage;
class HciPage;
class NvmPage;
class RfTestPage;
} // namespace ui

class Tfrm_main : public QWidget, public template_engine_notify, private ui::FormContext {
    Q_OBJECT
public:
    // Chooses the back-end from the host's interface kind (information item 31).
    explicit Tfrm_main(QWidget* parent = nullptr);
    // With a given back-end; `zep` tells whether it speaks the text protocol.
    Tfrm_main(std::unique_ptr<IBluetooth> backEnd, bool zep, QWidget* parent = nullptr);
    ~Tfrm_main() override;

    bool Notify() override { return true; }

    // Sends the first commands to the phone and sets up the pages.
    void StartUp();

    // Shared routines of the pages.
    uint32_t CurrentTestMode() const;
    void ApplyChipState(bool on);
    void ApplyModeButtons();
    void UpdateControlStates();
    void MarkChanged(QWidget* control) override;

    // The HCI command tabs: captions and stored sequences, in tab order.
    std::vector<ui::HciCommandTab> HciCommandTabs() const;

    // The back-end speaks the text protocol; the chip runs, as last read from it.
    bool ZepBackEnd() const override { return zepBackEnd; }
    bool BtOn() const override { return btOn; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The back-end of `interfaceKind` (the host's item 31).
    Tfrm_main(int32_t interfaceKind, QWidget* parent);
    // What the pages ask of the form.
    IBluetooth& Bluetooth() override { return *bluetooth; }
    void SetMarkChanges(bool mark) override { markChanges = mark; }
    void ShowConversionError(const std::string& text) override;

    void Construct();
    void InitControls();

    // The chip switch, reset and the click on a mode item or "NVM data".
    void btn_BluetoothInitClick();
    void btn_BTDSwResetClick();
    void rg_TestModesClick();

    std::unique_ptr<IBluetooth> bluetooth;
    bool zepBackEnd = false;
    bool btOn = false;
    bool markChanges = false;

    ui::FormControls controls{};
    // rg_TestModes, btn_BTDTest, btn_WriteToNVM, btn_ReadFromNVM, btnWriteAllNvm.
    std::array<QWidget*, 5> modeControls{};

    std::unique_ptr<ui::RfTestPage> rfPage;
    std::unique_ptr<ui::AuxPage> auxPage;
    std::unique_ptr<ui::NvmPage> nvmPage;
    std::unique_ptr<ui::HciPage> hciPage;
};
