#!/usr/bin/python3
"""End to end with PyVISA (pyvisa-py backend) against a SCPI host program: identity, every
function type against the simulated part, a list sweep, errors and the queue, two clients at
once, and a client that never reads its answers.

Usage: test_scpi_visa.py HOST_PROGRAM [ARGS...]
The host prints "PORT <n>" when it listens and ends when its standard input closes."""

import cmath
import math
import socket
import subprocess
import sys
import time

import pyvisa

R, C = 50.0, 100e-9  # the host's part: R in series with C


def impedance(f):
    return complex(R, -1.0 / (2 * math.pi * f * C))


def expected(function, f):
    z = impedance(f)
    y = 1 / z
    w = 2 * math.pi * f
    rs, xs, g, b = z.real, z.imag, y.real, y.imag
    cs, ls = -1 / (w * xs), xs / w
    cp, lp = b / w, -1 / (w * b)
    d, q = rs / abs(xs), abs(xs) / rs
    rp = 1 / g
    th = cmath.phase(z)
    table = {
        "CPD": (cp, d), "CPQ": (cp, q), "CPG": (cp, g), "CPRP": (cp, rp),
        "CSD": (cs, d), "CSQ": (cs, q), "CSRS": (cs, rs),
        "LPD": (lp, d), "LPQ": (lp, q), "LPG": (lp, g), "LPRP": (lp, rp),
        "LSD": (ls, d), "LSQ": (ls, q), "LSRS": (ls, rs),
        "RX": (rs, xs), "ZTD": (abs(z), math.degrees(th)), "ZTR": (abs(z), th),
        "GB": (g, b), "YTD": (abs(y), -math.degrees(th)), "YTR": (abs(y), -th),
    }
    return table[function]


failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)


def close(a, b):
    return abs(a - b) <= 1e-5 * abs(b) + 1e-15


def open_meter(rm, port):
    meter = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET")
    meter.read_termination = "\n"
    meter.write_termination = "\n"
    meter.timeout = 20000
    return meter


def errors(meter):
    codes = []
    for _ in range(20):
        code = int(meter.query("SYST:ERR?").split(",")[0])
        if code == 0:
            break
        codes.append(code)
    return codes


def main():
    host = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True)
    try:
        line = host.stdout.readline().split()
        port = int(line[1])
        rm = pyvisa.ResourceManager("@py")
        meter = open_meter(rm, port)

        idn = meter.query("*IDN?").split(",")
        check(idn[0] == "Impedix" and len(idn) == 4, f"identity {idn}")

        meter.write("*RST;*CLS")
        meter.write("FREQ 10KHZ")
        for function in ["CPD", "CPQ", "CPG", "CPRP", "CSD", "CSQ", "CSRS", "LPD", "LPQ",
                         "LPG", "LPRP", "LSD", "LSQ", "LSRS", "RX", "ZTD", "ZTR", "GB",
                         "YTD", "YTR"]:
            meter.write(f"FUNC:IMP {function}")
            a, b, status = meter.query_ascii_values("FETC?")
            ea, eb = expected(function, 10000)
            check(status == 0 and close(a, ea) and close(b, eb),
                  f"{function}: {a} {b} {status}, expected {ea} {eb}")

        meter.write("FUNC:IMP RX;:LIST:FREQ 100,1000,10000;:DISP:PAGE LIST;:TRIG:SOUR BUS")
        meter.write("TRIG")
        values = meter.query_ascii_values("FETC?")
        check(len(values) == 12, f"list answer of {len(values)} numbers")
        for i, f in enumerate([100, 1000, 10000]):
            ea, eb = expected("RX", f)
            check(close(values[4 * i], ea) and close(values[4 * i + 1], eb)
                  and values[4 * i + 2] == 0, f"list point {f} Hz: {values[4 * i:4 * i + 4]}")
        meter.write("DISP:PAGE MEAS;:TRIG:SOUR INT")

        meter.write("FREQ 1E9;FOO;VOLT 0.3")
        check(errors(meter) == [-222, -113, -222], "errors in order")
        for _ in range(20):
            meter.write("FOO")
        codes = errors(meter)
        check(len(codes) == 16 and codes[-1] == -350, f"queue overflow {codes}")

        other = open_meter(rm, port)
        other.write("FOO")
        check(meter.query("SYST:ERR?").startswith("0,"), "queues are per client")
        check(other.query("SYST:ERR?").startswith("-113,"), "the other client's error")
        for _ in range(20):
            check(meter.query("*TST?") == "0" and other.query("FREQ?") == "+1.00000E+04",
                  "two clients alternating")

        silent = socket.create_connection(("127.0.0.1", port))
        silent.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        queries = 3000  # about 2.6 KB of answer each
        silent.sendall(b"LIST:FREQ 25" + b",1000" * 200 + b"\n" + b"LIST:FREQ?\n" * queries)
        # Not a byte is read while the server fills its queue for this client; the others go on.
        for _ in range(30):
            check(meter.query("*TST?") == "0", "served while another client does not read")
            time.sleep(0.1)
        silent.settimeout(20)
        received, ended = 0, False
        try:
            while True:
                chunk = silent.recv(1 << 20)
                if not chunk:
                    ended = True
                    break
                received += len(chunk)
        except ConnectionResetError:
            ended = True
        except socket.timeout:
            pass
        check(ended and received < queries * 2600 // 2,
              f"a client that never reads is dropped ({received} bytes came)")
        check(meter.query("*TST?") == "0", "the server goes on after the drop")
        silent.close()
        other.close()
        meter.close()
    finally:
        host.stdin.close()
        host.wait(timeout=20)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    print("all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
