#!/usr/bin/python3
"""Our ASC, TRC and BLF read by independent readers (python-can's, and
can-utils' asc2log), and the files python-can's writers make read and
replayed by the library, every frame as it was.

And tarnwick-record asked for a BLF: the candump log beside it, the BLF
made of it once the recording stopped. Starts the gateway simulator for
that and ends it.

    test_trace_formats.py LIBRARY RECORDER SIMULATOR
"""
import ctypes
import os
import subprocess
import sys
import tempfile
import time

import can

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_trace_tools import HardwareConfiguration, TraceStatus, free_port  # noqa: E402

START = 1796904758.123456
ERROR_CLASS = 0x004  # CAN_ERR_CRTL


def recording():
    """(seconds, id, kind, length, data, sent): every data length, remote
    frames of every length, an error frame, both directions, a gap past a
    second's end."""
    frames = []
    t = START
    for i in range(60):
        t += 0.000731 + (0.9 if i == 30 else 0)
        sent = i % 7 == 3
        if i % 10 == 5:
            frames.append((t, 0x600 + i, "remote", i % 9, b"", sent))
        elif i == 17:
            frames.append((t, ERROR_CLASS, "error", 8, bytes([0, 0x08, 0, 0, 0, 0, 0x60, 0x7F]), False))
        else:
            length = i % 9
            frames.append((t, (0x080 + 37 * i) & 0x7FF, "data", length, bytes((i + k) & 0xFF for k in range(length)),
                           sent))
    return frames


def candump_line(frame):
    t, can_id, kind, length, data, sent = frame
    if kind == "error":
        body = "%08X#%s" % (0x20000000 | can_id, data.hex().upper())
    elif kind == "remote":
        body = "%03X#R" % can_id + (str(length) if length else "")
    else:
        body = "%03X#%s" % (can_id, data.hex().upper())
    return "(%.6f) can0 %s %s" % (t, body, "T" if sent else "R")


def read_log(path):
    """Our own candump reading of a log: (micros, id, kind, length, data, sent)."""
    out = []
    with open(path) as f:
        for line in f:
            if not line.strip():
                continue
            stamp, _, frame, direction = line.split()
            can_id, body = frame.split("#")
            micros = round(float(stamp[1:-1]) * 1e6)
            value = int(can_id, 16)
            if value & 0x20000000:
                out.append((micros, value & 0x1FFFFFFF, "error", len(body) // 2, bytes.fromhex(body), False))
            elif body.startswith("R"):
                out.append((micros, value, "remote", int(body[1:] or 0), b"", direction == "T"))
            else:
                out.append((micros, value, "data", len(body) // 2, bytes.fromhex(body), direction == "T"))
    return out


def remote_length_kept(recorder, folder):
    """Whether the candump log carries a remote frame's length ("123#R4")."""
    path = os.path.join(folder, "remote.log")
    with open(path, "w") as f:
        f.write("(1796904758.000000) can0 123#R4 R\n")
    subprocess.run([recorder, "--convert", path, "--output", path + ".log"], capture_output=True)
    with open(path + ".log") as f:
        return "123#R4" in f.read()


def comparable(frames, keep_remote_length):
    """frames as a candump log can give them back: a remote frame without
    its length where the log has none."""
    if keep_remote_length:
        return list(frames)
    return [fr[:-3] + (0,) + fr[-2:] if fr[-4] == "remote" else fr for fr in frames]


def message_frame(m):
    kind = "error" if m.is_error_frame else "remote" if m.is_remote_frame else "data"
    return (m.arbitration_id, kind, m.dlc, bytes(m.data) if kind != "remote" else b"", not m.is_rx)


def check_read_by_python_can(recorder, folder, frames, check):
    log = os.path.join(folder, "ours.log")
    with open(log, "w") as f:
        f.write("".join(candump_line(fr) + "\n" for fr in frames))
    written = {}
    for fmt in ("asc", "trc", "blf"):
        out = os.path.join(folder, "ours." + fmt)
        run = subprocess.run([recorder, "--convert", log, "--output", out], capture_output=True, text=True)
        check("--convert writes %s and says so" % fmt, run.returncode == 0 and "60 frames" in run.stderr
              and not os.path.exists(out + ".tmp"))
        written[fmt] = out

    def same(messages, expected, tolerance, relative=False):
        if len(messages) != len(expected):
            print("     %d frames read, %d expected" % (len(messages), len(expected)))
            return False
        good = True
        for m, fr in zip(messages, expected):
            t, can_id, kind, length, data, sent = fr
            want = (can_id, kind, length, data, sent)
            got = message_frame(m)
            when = m.timestamp if not relative else m.timestamp + expected[0][0]
            if got != want or abs(when - t) > tolerance:
                print("     read %r at %.6f, wrote %r at %.6f" % (got, when, want, t))
                good = False
        return good

    asc = list(can.ASCReader(written["asc"], relative_timestamp=False))
    # ASC tells of an error frame only that it happened.
    asc_expected = [fr if fr[2] != "error" else (fr[0], 0, "error", 0, b"", False) for fr in frames]
    check("python-can's ASCReader reads every frame, to the microsecond", same(asc, asc_expected, 1.5e-6))
    blf = list(can.BLFReader(written["blf"]))
    check("python-can's BLFReader reads every frame, to the microsecond", same(blf, frames, 1.5e-6))
    check("the BLF header counts the frames", can.BLFReader(written["blf"]).object_count == len(frames))
    # python-can 4.1's TRCReader reads data frames (DT) only, at offsets
    # from the file's start time.
    trc = list(can.TRCReader(written["trc"]))
    data_frames = [fr for fr in frames if fr[2] == "data"]
    check("python-can's TRCReader reads every data frame, within 10 µs",
          same(trc, data_frames, 10e-6, relative=True) and trc[0].timestamp < 10e-6)

    # And back again through our own readers.
    keep = remote_length_kept(recorder, folder)
    if not keep:
        print("     (the candump log does not carry a remote frame's length yet: not compared)")
    expected = comparable(read_log(log), keep)
    for fmt, out in written.items():
        back = os.path.join(folder, "back-%s.log" % fmt)
        run = subprocess.run([recorder, "--convert", out, "--output", back], capture_output=True, text=True)
        got = read_log(back) if run.returncode == 0 else []
        lossless = [g for g, e in zip(got, expected) if e[2] != "error"] == [e for e in expected if e[2] != "error"]
        for g, e in zip(got, expected):
            if g != e and e[2] != "error":
                print("     read %r, wrote %r" % (g, e))
                break
        check("our %s reads back as it was written" % fmt, len(got) == len(expected) and lossless
              and (fmt != "blf" or got == expected))

    # asc2log makes the same candump log of our ASC (an error frame as a
    # bus error; without an en_US locale it cannot read the date, and
    # counts from the present instead).
    run = subprocess.run(["asc2log", "-I", written["asc"]], capture_output=True, text=True)
    lines = [l.split() for l in run.stdout.splitlines() if l.strip()]
    ours = [candump_line(fr).split() for fr in frames]
    dated = "Not able to determine" not in run.stderr
    shift = float(lines[0][0][1:-1]) - float(ours[0][0][1:-1]) if lines and not dated else 0
    good = run.returncode == 0 and len(lines) == len(ours)
    for l, o, fr in zip(lines, ours, frames):
        when_ok = abs(float(l[0][1:-1]) - shift - float(o[0][1:-1])) < 1.5e-6
        if fr[2] == "error":
            good &= l[2] == "20000080#0000000000000000" and when_ok
        else:
            good &= l[1:] == o[1:] and when_ok
    check("asc2log turns our ASC back into the same candump log", good)


def python_can_messages():
    messages = []
    for i in range(40):
        t = START + i * 0.001357 + (0.5 if i > 20 else 0)
        if i % 9 == 4:
            messages.append(can.Message(timestamp=t, arbitration_id=0x700 + i, is_extended_id=False,
                                        is_remote_frame=True, dlc=i % 9, is_rx=True))
        else:
            messages.append(can.Message(timestamp=t, arbitration_id=0x180 + i, is_extended_id=False,
                                        data=bytes((3 * i + k) & 0xFF for k in range(i % 9)),
                                        is_rx=i % 6 != 1))
    return messages


def replay(lib, path, expected_frames):
    """Plays path into the library as interface kind 5, as fast as it goes,
    and returns what its frame taps recorded."""
    hw = HardwareConfiguration()
    hw.InterfaceType = 5
    hw.AccessPoint = path.encode()
    for k in range(4):
        hw.Reserved[k] = 0xFF  # as fast as possible
    handle = ctypes.c_uint32(0)
    if not lib.OpenInterface(ctypes.byref(handle), ctypes.byref(hw)):
        return None
    h = handle.value
    log = path + ".replayed.log"
    assert lib.Trace_Start(h, log.encode())
    assert lib.SetOnline(h, 1)
    status = TraceStatus()
    for _ in range(200):
        lib.Trace_GetStatus(h, ctypes.byref(status))
        if status.FramesWritten >= expected_frames:
            break
        time.sleep(0.05)
    lib.Trace_Stop(h)
    lib.CloseInterface(h)
    return read_log(log)


def check_written_by_python_can(lib, recorder, folder, check):
    messages = python_can_messages()
    keep = remote_length_kept(recorder, folder)
    for fmt, writer_class in (("asc", can.ASCWriter), ("trc", can.TRCWriter), ("blf", can.BLFWriter)):
        path = os.path.join(folder, "theirs." + fmt)
        writer = writer_class(path)
        for m in messages:
            writer.on_message_received(m)
        writer.stop()
        # python-can's TRCWriter leaves remote frames out.
        written = [m for m in messages if fmt != "trc" or not m.is_remote_frame]
        want = comparable([message_frame(m) for m in written], keep)

        back = os.path.join(folder, "theirs-%s.log" % fmt)
        run = subprocess.run([recorder, "--convert", path, "--output", back], capture_output=True, text=True)
        got = read_log(back) if run.returncode == 0 else []
        gaps_ok = all(abs((g[0] - got[0][0]) - round((m.timestamp - written[0].timestamp) * 1e6)) <= 1
                      for g, m in zip(got, written))
        if [g[1:] for g in got] != want:
            print("     read %r\n     want %r" % ([g[1:] for g in got], want))
        check("python-can's %s reads in with every frame right" % fmt.upper(),
              [g[1:] for g in got] == want and gaps_ok and "skipped" not in run.stderr)

        replayed = replay(lib, path, sum(1 for m in written if m.is_rx))
        check("python-can's %s replays into the library, sent frames left out" % fmt.upper(),
              replayed is not None and [r[1:] for r in replayed] == [w for w in want if not w[4]])


def check_damage(recorder, folder, check):
    blf = os.path.join(folder, "ours.blf")
    with open(blf, "rb") as f:
        whole = f.read()
    cases = {
        "cut": whole[:len(whole) - 7],
        "garbage inside": whole[:200] + b"\x5a" * 64 + whole[264:],
        # The first container's size made larger than the file.
        "a container with a bad length": whole[:152] + (len(whole) * 2).to_bytes(4, "little") + whole[156:],
    }
    for name, content in cases.items():
        path = os.path.join(folder, "broken.blf")
        with open(path, "wb") as f:
            f.write(content)
        out = os.path.join(folder, "broken.log")
        run = subprocess.run([recorder, "--convert", path, "--output", out], capture_output=True, text=True)
        check("a BLF %s is read up to the damage and the skip said" % name,
              run.returncode == 0 and "skipped" in run.stderr and "damaged" in run.stderr)


def check_recording_as_blf(recorder, simulator_path, folder, check):
    url = "tcp://127.0.0.1:%d/can0" % free_port()
    simulator = subprocess.Popen([simulator_path, "--interface", url, "--scenario", "live", "--heartbeat", "100",
                                  "--seconds", "30"],
                                 stdout=subprocess.DEVNULL)
    try:
        output = os.path.join(folder, "recorded.blf")
        # The simulator hosts the bus: it may take a moment to listen.
        for _ in range(20):
            run = subprocess.run([recorder, "--kind", "virtualcan", "--interface", url, "--output", output,
                                  "--seconds", "2"], capture_output=True, text=True)
            if run.returncode != 1:
                break
            time.sleep(0.25)
    finally:
        simulator.terminate()
        simulator.wait(10)
    log = os.path.join(folder, "recorded.log")
    lines = read_log(log) if os.path.exists(log) else []
    blf = list(can.BLFReader(output)) if run.returncode == 0 else []
    check("tarnwick-record --output X.blf keeps X.log and makes X.blf of it",
          run.returncode == 0 and len(lines) > 5 and [message_frame(m) for m in blf] == [l[1:] for l in lines]
          and os.path.exists(os.path.join(folder, "recorded.json")))


def check_silent_recording(recorder, folder, check):
    """A bus where nobody speaks (the recorder's own virtual bus server):
    an empty candump log, and an empty trace of the format asked for."""
    output = os.path.join(folder, "silent.trc")
    url = "tcp://127.0.0.1:%d/can0" % free_port()
    run = subprocess.run([recorder, "--kind", "virtualcan", "--interface", url, "--output", output, "--seconds", "1"],
                         capture_output=True, text=True)
    check("a silent bus recorded as TRC gives an empty TRC",
          run.returncode == 0 and os.path.exists(output) and list(can.TRCReader(output)) == []
          and os.path.getsize(os.path.join(folder, "silent.log")) == 0)


def main(library_path, recorder_path, simulator_path):
    failures = []

    def check(name, ok):
        print(("ok   " if ok else "FAIL ") + name)
        if not ok:
            failures.append(name)

    lib = ctypes.CDLL(library_path)
    assert lib.LoadDriver()
    with tempfile.TemporaryDirectory() as folder:
        check_read_by_python_can(recorder_path, folder, recording(), check)
        check_written_by_python_can(lib, recorder_path, folder, check)
        check_damage(recorder_path, folder, check)
        check_recording_as_blf(recorder_path, simulator_path, folder, check)
        check_silent_recording(recorder_path, folder, check)
    assert lib.UnloadDriver()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3]))
