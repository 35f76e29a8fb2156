#!/usr/bin/python3
"""A VISA client's view of testersim: pyvisa-py opens its raw socket resource, asks who it
is, measures LE power on channel 19 and reads the error queue, printing one answer a line.

    pyvisa_check.py PORT
"""
import sys

import pyvisa

rm = pyvisa.ResourceManager("@py")
tester = rm.open_resource(f"TCPIP::127.0.0.1::{sys.argv[1]}::SOCKET",
                          read_termination="\n", write_termination="\n", timeout=10000)
print(tester.query("*IDN?"))
tester.write("CONF:LE:CHAN 19")
print(tester.query("READ:LE:POW?"))
print(tester.query("SYST:ERR?"))
tester.close()
rm.close()
