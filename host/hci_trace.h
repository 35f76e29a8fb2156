#pragma once
// The station's HCI trace. The plug-in sends the HCI page's raw commands as binary test
// function 28 through slot 18, or as the text command "at@bt:hci_command(...)" through
// slot 54 or 175. The station puts a watcher in front of whatever serves those slots (the
// built-in phone or the serial link); while a trace is recorded the watcher reads the
// command and the chip's answer out of the wire records and writes them to the trace.
// Other exchanges pass through untouched.

#include <functional>
#include <string>

#include "host/host_table.h"

namespace bttrace {
class BtsnoopWriter;
}

// Puts the watcher into slots 18, 54 and 175 of `table`, in front of the functions they
// hold now (an empty slot stays empty). Call again whenever the slots are filled anew.
void TapHciSlots(HostTable& table);

// What the watcher says about the trace: a line for the station's log, `error` for a
// failure (the recording has then been stopped).
using HciTraceNote = std::function<void(const std::string& text, bool error)>;

// The trace the watched exchanges go into (null: none). The writer stays the caller's and
// must stay open while it is set; a write failure closes it and clears it here.
void SetHciTraceWriter(bttrace::BtsnoopWriter* writer, HciTraceNote note);
