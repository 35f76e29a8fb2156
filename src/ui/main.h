#pragma once
// The Bluetooth test form: an MDI child of the station with the RF test page, the
// information and auxiliary page and the HCI command page, over one IBluetooth back-end.

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bt/bluetooth_engine.h"
#include "bt/bt_types.h"
#include "bt/nvm_params.h"
#include "ui/current_form.h"
#include "ui/hci_commands.h"

class IBluetooth;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

class Tfrm_main : public QWidget, public template_engine_notify {
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
    void SetChildrenEnabled(QWidget* container, bool enabled);
    void LogParameterError(const std::string& text);
    void ApplyChipState(bool on);
    void ApplyModeButtons();
    void UpdateControlStates();
    void MarkChanged(QWidget* control);

    // The HCI command tabs: captions and stored sequences, in tab order.
    std::vector<ui::HciCommandTab> HciCommandTabs() const;

    bool IsZepBackEnd() const { return zepBackEnd; }
    bool IsBtOn() const { return btOn; }
    bool MarksChanges() const { return markChanges; }

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename T = QWidget> T* C(const char* name) const {
        T* control = findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) qFatal("control %s is missing from the layout", name);
        return control;
    }
    QLineEdit* Edit(const char* name) const;
    std::string Text(const char* name) const;

    void Construct();
    void Wire();
    void InitControls();
    uint8_t ReqVersion(T_ATCTST_BT_FUNCTION function) const;
    uint8_t ConVersion(T_ATCTST_BT_FUNCTION function) const;
    // A whole number from an edit, or nothing after the conversion error box.
    std::optional<int32_t> WholeNumber(QLineEdit* edit);
    void ShowConversionError(const std::string& text);

    // The form: chip switch, reset, mode click and the HCI box at start-up.
    void btn_BluetoothInitClick();
    void btn_BTDSwResetClick();
    void rg_TestModesClick();
    void ed_OnTextChange(QWidget* sender);
    void SetSerialInterfaceModeLabel();
    void SetUpHciCommandBox();
    void SetEnabled(std::initializer_list<const char*> names, bool enabled);

    // RF test page.
    void FillLists();
    void FillTestModes();
    void SetChannelLimits(uint32_t mode);
    void ed_TXChannelChange();
    void ed_RXChannelChange();
    void ChannelChange(QLineEdit* edit, QLabel* label, uint8_t step, uint8_t maximum);
    void tb_TxPowerCoarseChange();
    void tb_TxPowerFineChange();
    void tb_PowerLevelChange();
    void tb_LPCPowerControlChange();
    void tb_LPCPowerControlStepSizeChange();
    void tb_EPCPowerControlStepSizeChange();
    void tb_EPCPowerControlNOfStepsChange();
    void EpcStepCountUpdate(QObject* sender);
    void cb_ModulationTypeChange();
    void chkbx_HoppingClick();
    void EnableForMode(uint32_t mode);
    void btn_BTDTestClick();
    void btn_LeRxResultClick();
    bool ReadAddress(uint8_t address[6]);
    // The number rule on an edit: appends its message; 0 when the check failed.
    int64_t CheckInto(std::string& message, const char* edit, const std::string& name,
                      int64_t minimum, int64_t maximum);
    void BuildRfTestMode();
    void BuildTxBurstMode();
    void BuildTxContinuousMode();
    void BuildRxContinuousMode();
    void BuildTxLeMode();
    void BuildRxLeStart();

    // Information, trimming and auxiliary page.
    void SetUpAuxiliaryBoxes(bool atStartUp);
    void SetUpAuxiliaryBox(const char* box, bool atStartUp);
    void SetUpRssiBox(bool atStartUp);
    void ApplyManualEditStates();
    void btn_GetInformationClick();
    void Image1DblClick();
    void btn_CheckHostInterfaceClick();
    void btn_CheckSleepXSignalClick();
    void btn_GetRSSIClick();
    void btn_GetRTRIMValuesClick();
    void btn_SetRTRIMManualValueClick();
    void btn_GetKFREQIBIASDACValuesClick();
    void btn_SetKFREQIBIASDACManualValueClick();
    void btn_GetTMEASValuesClick();
    void btn_SetTMEASManualValueClick();
    void btn_GetVMEASValuesClick();
    void btn_SetVMEASManualValueClick();
    void btn_PcmUartWakeupInterfaceSetClick();
    void btn_PCMUARTWAKEUPInterfaceGetClick();
    void btn_PCMLoopbackOnClick();
    void btn_PCMLoopbackOffClick();
    // The usual failure handling: code 2 disables `box` (when given) and logs the text.
    void HandleFailure(const T_Result& result, const char* box);
    void ShowTrimming(const char* edit, uint32_t value, bool hex);

    // NVM parameter page.
    void btn_ReadFromNVMClick();
    void btn_WriteToNVMClick();
    void btnWriteAllNvmClick();
    void SetNvmControlsEnabled(T_BT_NVM_PARAM_TYPE param, bool enabled);
    void ShowNvmValue(T_BT_NVM_PARAM_TYPE param, const T_BT_ALL_NVM_PARAMS& values);
    bool ReadLmpFeatures(uint8_t features[8]);
    int64_t NvmMaximum(int64_t tableMaximum) const;

    // HCI command page.
    struct THCICommandTextData {
        std::string text; // lines joined by CR LF
    };
    void LoadHciCommands();
    void SaveHciCommands();
    bool AddHciCommandTab(const std::string& name, const std::string& sequence, std::string& error);
    bool RenameHciCommandTab(const std::string& name, std::string& error);
    void DeleteHciCommandTab(int index);
    void StoreCurrentHciCommand();
    // The request field's text into the record of the tab it shows.
    void StoreShownHciCommand();
    void ShowCurrentHciCommand();
    void btn_SendHCICommandClick();
    void btn_AddHciCommandClick();
    void btn_EditHciCommandClick();
    void btn_DeleteHciCommandClick();
    void tc_HciCommandsChange(int index);
    void tc_HciCommandsMoved(int from, int to);
    void WireHciPage();

    std::unique_ptr<IBluetooth> bluetooth;
    bool zepBackEnd = false;
    bool btOn = false;
    bool markChanges = false;
    bool nvmMarkOnly = false;
    // The last NVM read found no values on the phone (a failed read-all): nothing of it
    // may be enabled or written back until a read succeeds.
    bool nvmReadFailed = false;

    std::vector<std::unique_ptr<THCICommandTextData>> hciCommands;
    // The tab whose record the request field shows; -1 while none does.
    int hciShownTab = -1;
    // The tabs were loaded from the file, so closing may store them.
    bool hciCommandsLoaded = false;
    std::array<QWidget*, 5> modeControls{};
    std::array<QGroupBox*, BNPT_MAX_COUNT> nvmGroupBoxes{};
    uint8_t txChannelMax = 78;
    uint8_t txChannelStep = 1;
    uint8_t rxChannelMax = 78;
    uint8_t rxChannelStep = 1;
    uint8_t epcMaxStep = 7;

    std::vector<QRadioButton*> modeItems;
    QButtonGroup* modeGroup = nullptr;
};
