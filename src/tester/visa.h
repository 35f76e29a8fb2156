#pragma once
// Instrument addresses as instrument users write them: VISA resource strings for LAN
// instruments, a raw SCPI socket or a VXI-11 device.

#include <QString>

namespace tester {

struct VisaResource {
    enum class Kind { Socket, Vxi11 };
    Kind kind = Kind::Socket;
    QString text; // as written, for messages
    int board = 0;
    QString host;
    int port = 0;   // Socket only
    QString device; // Vxi11 only: "inst0" unless given
};

// TCPIP[board]::HOST::PORT::SOCKET or TCPIP[board]::HOST[::DEVICE]::INSTR, in any case.
// Anything else is refused with a message that shows the two forms.
bool ParseVisaResource(const QString& text, VisaResource& resource, QString& error);

} // namespace tester
