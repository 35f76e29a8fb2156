#pragma once
// The firmware information box and the auxiliary page: RSSI, the four trimming boxes,
// the interface settings, PCM loopback and the two hidden checks.

#include <QObject>
#include <array>
#include <cstdint>
#include <string>

#include "bt/bt_types.h"
#include "ui/layout.h"

namespace ui {

class FormContext;

class AuxPage : public QObject {
public:
    AuxPage(FormContext& form, const FormControls& controls);

    // The boxes whose controls follow one record version. At start-up a refused version
    // is logged and the lists are filled; the enabling pass does neither.
    enum Box { Loopback, Connection, Rtrim, Kfreq, Vmeas, Tmeas, BoxCount };
    void SetUpBox(Box box, bool atStartUp);
    void SetUpRssiBox(bool atStartUp);
    // The enabling pass of the page.
    void SetUpBoxes();
    void HideChecks();
    void EnableChecks(bool enabled);
    void ResetCheckLabels();
    void SetSerialInterfaceModeLabel();
    // "Get" of the interfaces.
    void GetInterfaces();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct VersionedBox {
        QGroupBox* box;
        T_ATCTST_BT_FUNCTION function;
        bool confirm; // the confirm record's version decides, else the request's
        const char* refusal;
    };

    void ApplyManualEditStates();
    // The usual failure handling: code 2 disables `box` (when given) and logs the text.
    void HandleFailure(const T_Result& result, QGroupBox* box);
    void ShowTrimming(QLineEdit* edit, uint32_t value, bool hex);
    void ShowTrimmings(const TrimControls& trim, uint32_t fused, uint32_t manual, uint8_t use,
                       bool hex);
    void EnableRssi(bool enabled);

    void GetInformationClick();
    void CheckHostInterfaceClick();
    void CheckSleepXSignalClick();
    void GetRssiClick();
    void GetRtrimClick();
    void SetRtrimClick();
    void GetKfreqIbiasdacClick();
    void SetKfreqIbiasdacClick();
    void GetTmeasClick();
    void SetTmeasClick();
    void GetVmeasClick();
    void SetVmeasClick();
    void SetInterfacesClick();
    void SetLoopback(uint32_t type);

    FormContext& form_;
    const HeaderControls& h_;
    const AuxControls& c_;
    QGroupBox* channelBox_;
    std::array<VersionedBox, BoxCount> boxes_;
};

} // namespace ui
