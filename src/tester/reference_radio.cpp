#include "tester/reference_radio.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>
#include <array>
#include <cerrno>
#include <cstring>

namespace tester {

namespace {

constexpr int kAnswerMs = 2000;
constexpr double kLePacketUs = 625;

// H4 packet indicators and the events a command is answered with.
constexpr uint8_t kCommand = 0x01, kEvent = 0x04;
constexpr uint8_t kCommandComplete = 0x0E, kCommandStatus = 0x0F;

// The commands, as opcodes (OGF << 10 | OCF).
constexpr uint16_t kReset = 0x0C03, kReadLocalVersion = 0x1001, kReadBdAddr = 0x1009;
constexpr uint16_t kLeReceiverTest = 0x201D, kLeTransmitterTest = 0x201E, kLeTestEnd = 0x201F;

// Direct Test Mode: the command in the two top bits of a 16-bit word, sent MSB first.
constexpr uint16_t kDtmReset = 0x0000, kDtmReceive = 0x4000, kDtmTransmit = 0x8000,
                   kDtmEnd = 0xC000;

speed_t Speed(int baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    default:
        return B115200;
    }
}

QString Hex(uint32_t value, int digits) {
    return QString("0x%1").arg(value, digits, 16, QChar('0')).toUpper().replace("0X", "0x");
}

} // namespace

// The UART: raw 8N1, no flow control, reads waited for with poll.
struct ReferenceRadio::Port {
    int fd = -1;
    ~Port() {
        if (fd >= 0) ::close(fd);
    }
    bool Open(const ReferenceAddress& a, QString& why) {
        fd = ::open(a.device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        termios t{};
        if (tcgetattr(fd, &t) == 0) {
            cfmakeraw(&t);
            cfsetspeed(&t, Speed(a.baud));
            t.c_cflag |= CLOCAL | CREAD;
            tcsetattr(fd, TCSANOW, &t);
        }
        tcflush(fd, TCIOFLUSH);
        return true;
    }
    bool Write(const std::vector<uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, kAnswerMs) <= 0) return false;
                continue;
            }
            if (n <= 0) return false;
            done += std::size_t(n);
        }
        return true;
    }
    // One byte, waiting until `timer` reaches `ms`.
    bool Read(uint8_t& byte, const QElapsedTimer& timer, int ms) {
        for (;;) {
            const ssize_t n = ::read(fd, &byte, 1);
            if (n == 1) return true;
            if (n == 0 || (n < 0 && errno != EAGAIN)) return false;
            const qint64 left = ms - timer.elapsed();
            pollfd p{fd, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, int(left)) <= 0) return false;
        }
    }
};

bool IsReferenceAddress(const QString& text) {
    return text.startsWith("h4:", Qt::CaseInsensitive) ||
           text.startsWith("dtm:", Qt::CaseInsensitive);
}

bool ParseReferenceAddress(const QString& text, ReferenceAddress& address, QString& error) {
    static const QRegularExpression form("^(h4|dtm):(/[^:]+)(?::(\\d+))?$",
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) {
        error = QString("'%1' is not a reference radio this program speaks: use "
                        "h4:/dev/ttyACM0[:BAUD] (HCI over UART) or dtm:/dev/ttyACM0[:BAUD] "
                        "(Direct Test Mode)")
                    .arg(text);
        return false;
    }
    address.kind = m.captured(1).toLower() == "h4" ? ReferenceAddress::Kind::H4
                                                   : ReferenceAddress::Kind::Dtm;
    address.text = text;
    address.device = m.captured(2);
    address.baud = m.captured(3).isEmpty() ? 115200 : m.captured(3).toInt();
    return true;
}

QString HciErrorName(uint8_t code) {
    static const std::array<const char*, 0x46> kNames = {
        "Success",
        "Unknown HCI Command",
        "Unknown Connection Identifier",
        "Hardware Failure",
        "Page Timeout",
        "Authentication Failure",
        "PIN or Key Missing",
        "Memory Capacity Exceeded",
        "Connection Timeout",
        "Connection Limit Exceeded",
        "Synchronous Connection Limit To A Device Exceeded",
        "Connection Already Exists",
        "Command Disallowed",
        "Connection Rejected due to Limited Resources",
        "Connection Rejected Due To Security Reasons",
        "Connection Rejected due to Unacceptable BD_ADDR",
        "Connection Accept Timeout Exceeded",
        "Unsupported Feature or Parameter Value",
        "Invalid HCI Command Parameters",
        "Remote User Terminated Connection",
        "Remote Device Terminated Connection due to Low Resources",
        "Remote Device Terminated Connection due to Power Off",
        "Connection Terminated By Local Host",
        "Repeated Attempts",
        "Pairing Not Allowed",
        "Unknown LMP PDU",
        "Unsupported Remote Feature",
        "SCO Offset Rejected",
        "SCO Interval Rejected",
        "SCO Air Mode Rejected",
        "Invalid LMP Parameters / Invalid LL Parameters",
        "Unspecified Error",
        "Unsupported LMP Parameter Value / Unsupported LL Parameter Value",
        "Role Change Not Allowed",
        "LMP Response Timeout / LL Response Timeout",
        "LMP Error Transaction Collision / LL Procedure Collision",
        "LMP PDU Not Allowed",
        "Encryption Mode Not Acceptable",
        "Link Key cannot be Changed",
        "Requested QoS Not Supported",
        "Instant Passed",
        "Pairing With Unit Key Not Supported",
        "Different Transaction Collision",
        nullptr,
        "QoS Unacceptable Parameter",
        "QoS Rejected",
        "Channel Classification Not Supported",
        "Insufficient Security",
        "Parameter Out Of Mandatory Range",
        nullptr,
        "Role Switch Pending",
        nullptr,
        "Reserved Slot Violation",
        "Role Switch Failed",
        "Extended Inquiry Response Too Large",
        "Secure Simple Pairing Not Supported By Host",
        "Host Busy - Pairing",
        "Connection Rejected due to No Suitable Channel Found",
        "Controller Busy",
        "Unacceptable Connection Parameters",
        "Advertising Timeout",
        "Connection Terminated due to MIC Failure",
        "Connection Failed to be Established / Synchronization Timeout",
        nullptr,
        "Coarse Clock Adjustment Rejected but Will Try to Adjust Using Clock Dragging",
        "Type0 Submap Not Defined",
        "Unknown Advertising Identifier",
        "Limit Reached",
        "Operation Cancelled by Host",
        "Packet Too Long",
    };
    if (code < kNames.size() && kNames[code] != nullptr) return kNames[code];
    return "error " + Hex(code, 2);
}

ReferenceRadio::ReferenceRadio(ReferenceAddress address, double outputDbm)
    : address_(std::move(address)), outputDbm_(outputDbm) {}

ReferenceRadio::~ReferenceRadio() = default;

bool ReferenceRadio::LinkError(const QString& why, Error& error) {
    port_.reset();
    error = {Error::Kind::Link, QString("the reference radio at %1: %2").arg(address_.text, why)};
    return false;
}

bool ReferenceRadio::Ready(Error& error) {
    if (port_) return true;
    auto port = std::make_unique<Port>();
    QString why;
    if (!port->Open(address_, why)) return LinkError("cannot open it: " + why, error);
    port_ = std::move(port);
    return true;
}

bool ReferenceRadio::Command(uint16_t opcode, const std::vector<uint8_t>& parameters,
                             const char* name, std::vector<uint8_t>& result, Error& error) {
    if (!Ready(error)) return false;
    std::vector<uint8_t> packet;
    packet.reserve(4 + parameters.size());
    for (const uint8_t b :
         {kCommand, uint8_t(opcode & 0xFF), uint8_t(opcode >> 8), uint8_t(parameters.size())})
        packet.push_back(b);
    for (const uint8_t b : parameters)
        packet.push_back(b);
    if (traffic_) traffic_(packet, false);
    if (!port_->Write(packet)) return LinkError(QString("cannot send %1").arg(name), error);
    QElapsedTimer timer;
    timer.start();
    // Events for other commands, and bytes that are no event, are passed over.
    for (;;) {
        uint8_t byte = 0, code = 0, length = 0;
        if (!port_->Read(byte, timer, kAnswerMs))
            return LinkError(QString("no answer to %1 within %2 s").arg(name).arg(kAnswerMs / 1000),
                             error);
        if (byte != kEvent) continue;
        if (!port_->Read(code, timer, kAnswerMs) || !port_->Read(length, timer, kAnswerMs))
            return LinkError(QString("an event cut short after %1").arg(name), error);
        std::vector<uint8_t> event{kEvent, code, length};
        for (int i = 0; i < length; ++i) {
            if (!port_->Read(byte, timer, kAnswerMs))
                return LinkError(QString("an event cut short after %1").arg(name), error);
            event.push_back(byte);
        }
        if (traffic_) traffic_(event, true);
        const uint8_t* p = event.data() + 3;
        // Command Complete: allowed commands, opcode, status and the return parameters;
        // Command Status: status, allowed commands, opcode.
        const bool complete = code == kCommandComplete && length >= 4;
        const bool status = code == kCommandStatus && length == 4;
        if (!complete && !status) continue;
        const uint16_t answered = complete ? uint16_t(p[1] | p[2] << 8) : uint16_t(p[2] | p[3] << 8);
        const uint8_t allowed = complete ? p[0] : p[1];
        const uint8_t code8 = complete ? p[3] : p[0];
        if (answered != opcode) continue;
        if (code8 != 0) {
            error = {Error::Kind::Instrument,
                     QString("the reference radio refused %1: %2 (%3)")
                         .arg(name, HciErrorName(code8), Hex(code8, 2))};
            return false;
        }
        if (status)
            return LinkError(QString("%1 answered with Command Status, not Command Complete")
                                 .arg(name),
                             error);
        if (allowed == 0)
            return LinkError(QString("it takes no more commands after %1").arg(name), error);
        result.assign(event.begin() + 7, event.end());
        return true;
    }
}

bool ReferenceRadio::DtmCommand(uint16_t word, const char* name, uint16_t& event, Error& error) {
    if (!Ready(error)) return false;
    if (!port_->Write({uint8_t(word >> 8), uint8_t(word & 0xFF)}))
        return LinkError(QString("cannot send %1").arg(name), error);
    QElapsedTimer timer;
    timer.start();
    uint8_t high = 0, low = 0;
    if (!port_->Read(high, timer, kAnswerMs) || !port_->Read(low, timer, kAnswerMs))
        return LinkError(QString("no answer to %1 within %2 s").arg(name).arg(kAnswerMs / 1000),
                         error);
    event = uint16_t(high << 8 | low);
    // LE_Test_Status (top bit 0) with its status bit set: the command failed.
    if ((event & 0x8000) == 0 && (event & 0x0001) != 0) {
        error = {Error::Kind::Instrument,
                 QString("the reference radio refused %1: LE_Test_Status error (%2)")
                     .arg(name, Hex(event, 4))};
        return false;
    }
    return true;
}

bool ReferenceRadio::Identify(QString& identity, Error& error) {
    if (address_.kind == ReferenceAddress::Kind::Dtm) {
        if (!Reset(error)) return false;
        identity = "Direct Test Mode controller at " + address_.device;
        return true;
    }
    std::vector<uint8_t> version, address;
    if (!Reset(error) || !Command(kReadLocalVersion, {}, "HCI_Read_Local_Version_Information",
                                  version, error) ||
        !Command(kReadBdAddr, {}, "HCI_Read_BD_ADDR", address, error))
        return false;
    if (version.size() < 8 || address.size() < 6)
        return LinkError("a version or address answer too short", error);
    QStringList bytes;
    for (int i = 5; i >= 0; --i)
        bytes << QString("%1").arg(address[std::size_t(i)], 2, 16, QChar('0')).toUpper();
    identity = QString("HCI %1 rev %2, LMP %3 subversion %4, manufacturer %5, BD_ADDR %6")
                   .arg(Hex(version[0], 2), Hex(version[1] | version[2] << 8, 4),
                        Hex(version[3], 2), Hex(version[6] | version[7] << 8, 4),
                        Hex(version[4] | version[5] << 8, 4), bytes.join(':'));
    return true;
}

bool ReferenceRadio::Reset(Error& error) {
    if (address_.kind == ReferenceAddress::Kind::Dtm) {
        uint16_t event = 0;
        return DtmCommand(kDtmReset, "LE_Test_Setup (reset)", event, error);
    }
    std::vector<uint8_t> result;
    return Command(kReset, {}, "HCI_Reset", result, error);
}

bool ReferenceRadio::MeasureLeTx(const LeTx&, TxItem, std::vector<Reading>&, Error& error) {
    error = {Error::Kind::Instrument, "the reference radio measures no transmitter"};
    return false;
}

bool ReferenceRadio::MeasureBrTx(const BrTx&, TxItem, std::vector<Reading>&, Error& error) {
    error = {Error::Kind::Instrument, "the reference radio measures no transmitter"};
    return false;
}

bool ReferenceRadio::StartTest(bool transmit, int channel, Error& error) {
    if (address_.kind == ReferenceAddress::Kind::Dtm) {
        // Frequency in bits 13..8; a transmitter's length 37 in bits 7..2, PRBS9 in 1..0.
        const uint16_t word = uint16_t((transmit ? kDtmTransmit : kDtmReceive) | channel << 8 |
                                       (transmit ? 37 << 2 : 0));
        uint16_t event = 0;
        return DtmCommand(word, transmit ? "LE_Transmitter_Test" : "LE_Receiver_Test", event,
                          error);
    }
    std::vector<uint8_t> result;
    if (transmit)
        return Command(kLeTransmitterTest, {uint8_t(channel), 37, 0x00}, "HCI_LE_Transmitter_Test",
                       result, error);
    return Command(kLeReceiverTest, {uint8_t(channel)}, "HCI_LE_Receiver_Test", result, error);
}

bool ReferenceRadio::EndTest(int& packets, Error& error) {
    if (address_.kind == ReferenceAddress::Kind::Dtm) {
        uint16_t event = 0;
        if (!DtmCommand(kDtmEnd, "LE_Test_End", event, error)) return false;
        if ((event & 0x8000) == 0)
            return LinkError(QString("LE_Test_End answered %1, not a packet report")
                                 .arg(Hex(event, 4)),
                             error);
        packets = event & 0x7FFF;
        return true;
    }
    std::vector<uint8_t> result;
    if (!Command(kLeTestEnd, {}, "HCI_LE_Test_End", result, error)) return false;
    if (result.size() < 2) return LinkError("HCI_LE_Test_End without a packet count", error);
    packets = result[0] | result[1] << 8;
    return true;
}

bool ReferenceRadio::SendLePackets(const LePackets& packets, Error& error) {
    int ignored = 0;
    if (!StartTest(true, packets.channel, error)) return false;
    QThread::usleep(static_cast<unsigned long>(packets.count * kLePacketUs));
    return EndTest(ignored, error);
}

bool ReferenceRadio::CountLePackets(const LeCount& count, int& received, Error& error) {
    if (!StartTest(false, count.channel, error)) return false;
    QThread::msleep(static_cast<unsigned long>(count.durationMs));
    return EndTest(received, error);
}

} // namespace tester
