#!/usr/bin/python3
"""A recording made by the library while the gateway simulator runs, read
back by independent tools: python-can's CanutilsLogReader frame for frame,
and can-utils' log2asc without complaint. Starts the simulator itself and
ends it.

The same for tarnwick-record, which must send nothing, end on SIGTERM with
everything written, and say why when it cannot start.

    test_trace_tools.py LIBRARY SIMULATOR RECORDER
"""
import ctypes
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

import can


class HardwareConfiguration(ctypes.Structure):
    _fields_ = [("InterfaceType", ctypes.c_uint32), ("Port", ctypes.c_uint32), ("Irq", ctypes.c_uint32),
                ("ComPort", ctypes.c_uint32), ("ComBaud", ctypes.c_uint32), ("Reserved", ctypes.c_uint8 * 24),
                ("AccessPoint", ctypes.c_char * 256)]


class TraceStatus(ctypes.Structure):
    _fields_ = [("Recording", ctypes.c_uint32), ("LastError", ctypes.c_uint32),
                ("FramesWritten", ctypes.c_uint64), ("FramesLost", ctypes.c_uint64),
                ("BytesWritten", ctypes.c_uint64), ("Path", ctypes.c_char * 4096)]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def record(lib, url, path):
    """Records about two seconds of the simulator's stream; our NMT start
    goes into it as a sent frame."""
    hw = HardwareConfiguration()
    hw.InterfaceType = 2
    hw.AccessPoint = url.encode()
    handle = ctypes.c_uint32(0)
    # The simulator hosts the bus: it may take a moment to listen.
    for _ in range(200):
        if lib.OpenInterface(ctypes.byref(handle), ctypes.byref(hw)):
            break
        time.sleep(0.05)
    else:
        raise RuntimeError("the simulator's bus did not open")
    h = handle.value
    assert lib.SetOnline(h, 1)
    assert lib.Trace_Start(h, path.encode())
    time.sleep(0.5)
    assert lib.NMT_StartRemoteNode(h, 7)
    time.sleep(2)
    status = TraceStatus()
    assert lib.Trace_GetStatus(h, ctypes.byref(status))
    assert status.Recording == 1
    assert lib.Trace_Stop(h)
    assert lib.Trace_GetStatus(h, ctypes.byref(status))
    assert lib.CloseInterface(h)
    return status


def our_lines(path):
    with open(path) as f:
        return [line.split() for line in f if line.strip()]


def check_recorder(recorder_path, url, folder, check):
    path = os.path.join(folder, "cli.log")
    run = subprocess.Popen([recorder_path, "--kind", "virtualcan", "--interface", url, "--output", path],
                           stderr=subprocess.PIPE, text=True)
    progress = 0
    for line in run.stderr:
        if line.startswith("tarnwick-record: ") and " frames, " in line:
            progress += 1
            if progress == 2:
                run.send_signal(signal.SIGTERM)
    check("tarnwick-record ends on SIGTERM with 0", run.wait(20) == 0 and progress >= 3)
    lines = our_lines(path)
    messages = list(can.CanutilsLogReader(path))
    check("tarnwick-record's log is read by python-can", len(lines) > 10 and len(messages) == len(lines))
    check("tarnwick-record sends nothing", all(l[3] == "R" for l in lines))
    with open(os.path.join(folder, "cli.json")) as f:
        check("tarnwick-record completes the session", json.load(f)["frames_written"] == len(lines))

    # A disk that is full from the first write: said when it happens, and the
    # exit status tells that the recording is not whole.
    full = os.path.join(folder, "full.log")
    os.symlink("/dev/full", full)
    filled = subprocess.run([recorder_path, "--kind", "virtualcan", "--interface", url, "--output", full,
                             "--seconds", "3"], capture_output=True, text=True, timeout=30)
    told = [l for l in filled.stderr.splitlines() if "No space left on device" in l]
    check("a full disk exits with 3 and says why as it happens",
          filled.returncode == 3 and len(told) >= 2 and "failed" in told[0] and "frames lost" in told[-1])

    bad = subprocess.run([recorder_path, "--bitrate", "12345"], capture_output=True, text=True)
    check("a bad option exits with 2", bad.returncode == 2 and "bit rate" in bad.stderr)
    data_home = os.path.join(folder, "data")
    closed = subprocess.run([recorder_path, "--kind", "socketcan", "--interface", "nosuch0", "--output",
                             os.path.join(folder, "none.log")], capture_output=True, text=True,
                            env=dict(os.environ, XDG_DATA_HOME=data_home))
    check("an interface that will not open exits with 1 and the reason",
          closed.returncode == 1 and "nosuch0: no CAN network interface 'nosuch0'" in closed.stderr)
    check("with --output no recordings folder is made", not os.path.exists(data_home))


def check_recorder_loses_its_bus(recorder_path, simulator_path, folder, check):
    """The bus goes away under the recorder (its host ends): exit 1 with the
    reason, and what came before is kept."""
    url = "tcp://127.0.0.1:%d/can0" % free_port()
    host = subprocess.Popen([simulator_path, "--interface", url, "--scenario", "live", "--heartbeat", "100",
                             "--seconds", "60"], stdout=subprocess.DEVNULL)
    path = os.path.join(folder, "lost.log")
    try:
        run = subprocess.Popen([recorder_path, "--kind", "virtualcan", "--interface", url, "--output", path],
                               stderr=subprocess.PIPE, text=True)
        for line in run.stderr:
            if " frames, " in line and not line.startswith("tarnwick-record: 0s"):
                break
        host.terminate()
        host.wait(10)
        rest = run.stderr.read()
        status = run.wait(20)
    finally:
        if host.poll() is None:
            host.kill()
            host.wait()
    check("a lost adapter exits with 1 and says so", status == 1 and "the adapter was lost" in rest)
    check("the recording keeps what came before the loss", len(our_lines(path)) > 0)


def main(library_path, simulator_path, recorder_path):
    url = "tcp://127.0.0.1:%d/can0" % free_port()
    simulator = subprocess.Popen([simulator_path, "--interface", url, "--scenario", "live", "--heartbeat", "100",
                                  "--seconds", "60"], stdout=subprocess.DEVNULL)
    failures = []

    def check(name, ok):
        print(("ok   " if ok else "FAIL ") + name)
        if not ok:
            failures.append(name)

    try:
        lib = ctypes.CDLL(library_path)
        assert lib.LoadDriver()
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "session.log")
            status = record(lib, url, path)
            lines = our_lines(path)
            check("frames were recorded", len(lines) > 10 and status.FramesWritten == len(lines))
            check("nothing was lost", status.FramesLost == 0 and status.LastError == 0)
            check("both directions", any(l[3] == "T" for l in lines) and any(l[3] == "R" for l in lines))

            messages = list(can.CanutilsLogReader(path))
            check("python-can reads every frame", len(messages) == len(lines))
            same = True
            for message, line in zip(messages, lines):
                can_id, data = line[2].split("#")
                same &= message.arbitration_id == int(can_id, 16)
                same &= message.data.hex().upper() == data
                same &= message.is_rx == (line[3] == "R")
                same &= message.channel == line[1] == "can0"
                same &= abs(message.timestamp - float(line[0][1:-1])) < 1e-6
            check("python-can reads each frame as written", same)
            check("the stamps are wall-clock times", abs(messages[-1].timestamp - time.time()) < 60)

            with open(os.path.join(folder, "session.json")) as f:
                session = json.load(f)
            check("the session counts the frames", session["frames_written"] == len(lines)
                  and session["frames_lost"] == 0 and "end" in session and session["access_point"] == url)

            asc = os.path.join(folder, "session.asc")
            converted = subprocess.run(["log2asc", "-I", path, "-O", asc, "can0"], capture_output=True, text=True)
            check("log2asc converts without complaint", converted.returncode == 0 and converted.stderr == "")
            with open(asc) as f:
                frame_lines = [l for l in f if " Rx " in l or " Tx " in l]
            check("log2asc keeps every frame", len(frame_lines) == len(lines))
            check_recorder(recorder_path, url, folder, check)
            check_recorder_loses_its_bus(recorder_path, simulator_path, folder, check)
        assert lib.UnloadDriver()
    finally:
        simulator.terminate()
        simulator.wait(10)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3]))
