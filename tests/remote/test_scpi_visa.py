#!/usr/bin/python3
"""End to end with PyVISA (pyvisa-py backend) against a SCPI host program over an exact meter:
identity, every function type against the host's part, a list sweep, errors and the queue, two
clients at once, and a client that never reads its answers.

Usage: test_scpi_visa.py HOST_PROGRAM [ARGS...]
The host prints "PORT <n>" when it listens and ends when its standard input closes."""

import math
import subprocess
import sys

from visa_common import (FUNCTIONS, Checks, check_error_queue, check_silent_client,
                         check_two_clients, near, open_meter, resource_manager, textbook)

R, C = 50.0, 100e-9  # the host's part: R in series with C


def impedance(f):
    return complex(R, -1.0 / (2 * math.pi * f * C))


def main():
    check = Checks()
    host = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True)
    try:
        line = host.stdout.readline().split()
        port = int(line[1])
        rm = resource_manager()
        meter = open_meter(rm, port)

        idn = meter.query("*IDN?").split(",")
        check(idn[0] == "Impedix" and len(idn) == 4, f"identity {idn}")

        meter.write("*RST;*CLS")
        meter.write("FREQ 10KHZ")
        for function in FUNCTIONS:
            meter.write(f"FUNC:IMP {function}")
            a, b, status = meter.query_ascii_values("FETC?")
            ea, eb = textbook(function, impedance(10000), 10000)
            check(status == 0 and near(a, ea) and near(b, eb),
                  f"{function}: {a} {b} {status}, expected {ea} {eb}")

        meter.write("FUNC:IMP RX;:LIST:FREQ 100,1000,10000;:DISP:PAGE LIST;:TRIG:SOUR BUS")
        meter.write("TRIG")
        values = meter.query_ascii_values("FETC?")
        check(len(values) == 12, f"list answer of {len(values)} numbers")
        for i, f in enumerate([100, 1000, 10000]):
            ea, eb = textbook("RX", impedance(f), f)
            check(near(values[4 * i], ea) and near(values[4 * i + 1], eb)
                  and values[4 * i + 2] == 0, f"list point {f} Hz: {values[4 * i:4 * i + 4]}")
        meter.write("DISP:PAGE MEAS;:TRIG:SOUR INT")

        check_error_queue(check, meter)
        other = check_two_clients(check, rm, port, meter, "+1.00000E+04")
        check_silent_client(check, port, meter)
        other.close()
        meter.close()
    finally:
        host.stdin.close()
        host.wait(timeout=20)
    return check.result()


if __name__ == "__main__":
    sys.exit(main())
