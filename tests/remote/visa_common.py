"""What the PyVISA end-to-end tests share: the textbook values of each FUNC:IMP type from an
impedance, their spread under the simulator's noise, the VISA session, the error queue, and the
checks of several clients that every server must pass whatever meter is behind it."""

import cmath
import math
import socket
import time

import pyvisa

FUNCTIONS = ["CPD", "CPQ", "CPG", "CPRP", "CSD", "CSQ", "CSRS", "LPD", "LPQ", "LPG", "LPRP",
             "LSD", "LSQ", "LSRS", "RX", "ZTD", "ZTR", "GB", "YTD", "YTR"]

FORMAT_SLACK = 1e-5  # six significant digits of NR3 over a float of the frame


def textbook(function, z, f):
    """The pair (A, B) that FUNC:IMP <function> names, for the impedance z at f hertz."""
    y = 1 / z
    w = 2 * math.pi * f
    rs, xs, g, b = z.real, z.imag, y.real, y.imag
    theta = cmath.phase(z)
    pair = {
        "CP": lambda: b / w, "CS": lambda: -1 / (w * xs),
        "LP": lambda: -1 / (w * b), "LS": lambda: xs / w,
    }
    second = {"D": lambda: rs / abs(xs), "Q": lambda: abs(xs) / rs, "G": lambda: g,
              "RP": lambda: 1 / g, "RS": lambda: rs}
    if function[:2] in pair:
        return pair[function[:2]](), second[function[2:]]()
    return {
        "RX": (rs, xs), "ZTD": (abs(z), math.degrees(theta)), "ZTR": (abs(z), theta),
        "GB": (g, b), "YTD": (abs(y), -math.degrees(theta)), "YTR": (abs(y), -theta),
    }[function]


def spread(function, z, f, sigma):
    """The standard deviations of A and B when |Z| carries a relative and the phase an absolute
    Gaussian error of sigma each, as the simulator's noise does: first-order propagation."""
    if sigma == 0:
        return 0.0, 0.0
    h = 1e-7
    a0, b0 = textbook(function, z, f)
    da_m, db_m = (v - v0 for v, v0 in zip(textbook(function, z * (1 + h), f), (a0, b0)))
    da_t, db_t = (v - v0 for v, v0 in zip(textbook(function, z * cmath.exp(1j * h), f),
                                          (a0, b0)))
    return sigma * math.hypot(da_m, da_t) / h, sigma * math.hypot(db_m, db_t) / h


class Checks:
    """Collects failures, so that one run reports every check that did not hold."""

    def __init__(self):
        self.failures = []

    def __call__(self, condition, what):
        if not condition:
            self.failures.append(what)
            print("FAIL:", what, flush=True)

    def result(self):
        if self.failures:
            print(f"{len(self.failures)} failures")
            return 1
        print("all passed")
        return 0


def near(value, expected, deviation=0.0):
    """Within six standard deviations of the noise, plus the rounding of the answer."""
    return abs(value - expected) <= 6 * deviation + FORMAT_SLACK * abs(expected) + 1e-15


def open_meter(rm, port):
    meter = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET")
    meter.read_termination = "\n"
    meter.write_termination = "\n"
    meter.timeout = 20000
    return meter


def errors(meter):
    """The codes in the client's error queue, oldest first; the queue is empty afterwards."""
    codes = []
    for _ in range(20):
        code = int(meter.query("SYST:ERR?").split(",")[0])
        if code == 0:
            break
        codes.append(code)
    return codes


def check_error_queue(check, meter):
    """Errors come back in the order made; the seventeenth of them becomes -350."""
    meter.write("*CLS")
    meter.write("FREQ 1E9;FOO;VOLT 0.3")
    check(errors(meter) == [-222, -113, -222], "errors in order")
    for _ in range(20):
        meter.write("FOO")
    codes = errors(meter)
    check(len(codes) == 16 and codes[:15] == [-113] * 15 and codes[-1] == -350,
          f"queue overflow {codes}")
    meter.write("FOO;*CLS")
    check(meter.query("SYST:ERR?") == '0,"No error"', "*CLS empties the queue")


def check_two_clients(check, rm, port, meter, frequency_answer):
    """A second client has its own error queue, and both are answered while they alternate."""
    other = open_meter(rm, port)
    other.write("FOO")
    check(meter.query("SYST:ERR?").startswith("0,"), "queues are per client")
    check(other.query("SYST:ERR?").startswith("-113,"), "the other client's error")
    for _ in range(20):
        check(meter.query("*TST?") == "0" and other.query("FREQ?") == frequency_answer,
              "two clients alternating")
    return other


def check_message_rules(check, port, meter):
    """The queries of a line answer on one line, separated by ';'; a query line the server cannot
    parse (or one too long to read) still answers one line, empty, so a VISA session never falls
    an answer behind."""
    answer = meter.query("FREQ?;VOLT?;*TST?")
    check(answer.count(";") == 2 and answer.endswith(";0"), f"one line for three queries: {answer}")
    for line in ["::FREQ?", "FREQ ?", "\0*IDN?"]:
        check(meter.query(line) == "", f"{line!r} answers an empty line")
        check(len(errors(meter)) == 1, f"{line!r} queues its error")
    raw = socket.create_connection(("127.0.0.1", port))
    raw.settimeout(20)
    raw.sendall(b"FREQ " + b"1" * (70 * 1024) + b";*IDN?\n*TST?\n")
    received = b""
    while received.count(b"\n") < 2:
        chunk = raw.recv(4096)
        if not chunk:
            break
        received += chunk
    check(received == b"\n0\n", f"a line over 64 KiB answers an empty line: {received[:40]!r}")
    raw.close()
    check(meter.query("*IDN?").startswith("Impedix,"), "the session is not an answer behind")


def dropped(connection):
    """Whether the server has closed the connection, seen without reading a byte of it: a closed
    connection answers the probe (one more query) with a reset."""
    try:
        connection.send(b"*TST?\n", socket.MSG_DONTWAIT)
    except BlockingIOError:
        return False
    except (ConnectionResetError, BrokenPipeError):
        return True
    established = 1  # tcpi_state of struct tcp_info
    return connection.getsockopt(socket.IPPROTO_TCP, socket.TCP_INFO, 1)[0] != established


def check_silent_client(check, port, meter):
    """A client that never reads its answers is dropped once they pile up, and the others are
    served meanwhile and afterwards."""
    silent = socket.create_connection(("127.0.0.1", port))
    silent.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    queries = 3000  # about 2.6 KB of answer each
    silent.sendall(b"LIST:FREQ 25" + b",1000" * 200 + b"\n" + b"LIST:FREQ?\n" * queries)
    # Not a byte is read while the server fills its queue for this client; the others go on,
    # until the server has dropped it (a generous deadline, never a measured time).
    deadline = time.monotonic() + 20
    while True:
        check(meter.query("*TST?") == "0", "served while another client does not read")
        if dropped(silent) or time.monotonic() > deadline:
            break
    # Bytes sent to a connection that the server has closed are answered with a reset, which
    # ends the reading below at once; otherwise the answers queued in the system would trickle
    # through the small receive window for seconds before the end came.
    try:
        silent.sendall(b"*TST?\n")
    except (ConnectionResetError, BrokenPipeError):
        pass  # the reset came already
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


def resource_manager():
    return pyvisa.ResourceManager("@py")
