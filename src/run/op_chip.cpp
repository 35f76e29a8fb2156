#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "run/op_steps.h"

namespace run::op {

T_Result Checked(T_Result result, int32_t phoneCode) {
    if (result.code == T_RESULT_OK && phoneCode != 0) {
        result.code = T_RESULT_ERROR;
        result.text = "phone answered result code " + std::to_string(phoneCode) + " (" +
                      t_result_to_string(phoneCode) + ")";
    }
    return result;
}

namespace {

T_Result SwitchChip(OpContext& c, bool on) {
    T_Result r = c.bt.GetHwInfo(kVersion);
    if (r.code == T_RESULT_OK && (c.bt.IsBtOn() != 0) != on) r = c.bt.Initialize(kVersion);
    if (r.code != T_RESULT_OK) return r;
    if ((c.bt.IsBtOn() != 0) != on)
        return {T_RESULT_ERROR, on ? "the chip did not start" : "the chip did not stop"};
    c.readings["chip_state"] = double(c.bt.IsBtOn());
    return r;
}

QString Dotted(uint8_t major, uint8_t minor) {
    return QString("%1.%2").arg(major).arg(minor);
}

} // namespace

T_Result ChipOn(OpContext& c) {
    return SwitchChip(c, true);
}

T_Result ChipOff(OpContext& c) {
    return SwitchChip(c, false);
}

T_Result HwInfo(OpContext& c) {
    const T_Result r = c.bt.GetHwInfo(kVersion);
    c.readings["chip_state"] = double(c.bt.IsBtOn());
    c.readings["host_interface"] = double(c.bt.GetHostInterface());
    return r;
}

T_Result HciReset(OpContext& c) {
    bool resetOk = false;
    if (!c.bt.ResetHci(kVersion, &resetOk)) return {T_RESULT_FAILED, "HCI reset failed"};
    if (!resetOk) return {T_RESULT_ERROR, "the phone refused the HCI reset"};
    return {};
}

T_Result FirmwareInfo(OpContext& c) {
    T_BT_GET_LUMORA_VERSION_CON con{};
    const T_Result r = Checked(c.bt.GetLumoraVersion(kVersion, &con), con.result);
    const uint8_t* v = con.version_info;
    c.readings["hardware_version"] = Dotted(v[1], v[2]);
    c.readings["firmware_version"] = Dotted(v[4], v[5]);
    c.readings["build_year"] = 2000.0 + v[6];
    c.readings["build_week"] = double(v[7]);
    c.readings["build_number"] = double(v[8]);
    c.readings["patch_number"] = double(v[9]);
    c.readings["version_info"] =
        Hex(QByteArray(reinterpret_cast<const char*>(v), sizeof con.version_info));
    return r;
}

T_Result HciCommand(OpContext& c) {
    T_BT_HCI_COMMAND_REQ q{};
    const QByteArray bytes = c.Bytes("bytes");
    q.length = uint8_t(bytes.size());
    std::memcpy(q.data, bytes.constData(), q.length);
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = Checked(c.bt.HciCommand(kVersion, q, &con, 16), con.result);
    const int length = std::min<int>(con.length, kHciDataSize);
    const QByteArray reply(reinterpret_cast<const char*>(con.data), length);
    // A refused record version sent nothing; a failed exchange got nothing.
    if (c.hciTraffic && r.code != T_RESULT_VERSION_MISMATCH) {
        c.hciTraffic(bytes, false);
        if (r.code != T_RESULT_FAILED) c.hciTraffic(reply, true);
    }
    c.readings["hci_reply"] = Hex(reply);
    c.readings["hci_reply_length"] = double(con.length);
    // The status of a Command Complete or Command Status event.
    if (length >= 6 && con.data[0] == 0x0E) c.readings["hci_status"] = double(con.data[5]);
    if (length >= 3 && con.data[0] == 0x0F) c.readings["hci_status"] = double(con.data[2]);
    return r;
}

T_Result Wait(OpContext& c) {
    if (!c.waits) return {};
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(c.Int("ms"));
    while (Clock::now() < end) {
        if (c.aborted && c.aborted()) return {};
        const auto left = end - Clock::now();
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(20)));
    }
    return {};
}

} // namespace run::op
