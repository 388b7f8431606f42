#!/usr/bin/env python3
"""The library in a host without Qt: a Python ctypes script loads it, opens
the virtual bus hosted by the test peer, goes online, sends NMT and reads an
SDO object. It starts the peer itself and ends it.

    test_ctypes_host.py LIBRARY PEER
"""
import ctypes
import socket
import subprocess
import sys


class HardwareConfiguration(ctypes.Structure):
    _fields_ = [("InterfaceType", ctypes.c_uint32), ("Port", ctypes.c_uint32), ("Irq", ctypes.c_uint32),
                ("ComPort", ctypes.c_uint32), ("ComBaud", ctypes.c_uint32), ("Reserved", ctypes.c_uint8 * 24),
                ("AccessPoint", ctypes.c_char * 256)]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read_line(peer, prefix):
    # The peer prints one line per frame; the test's own limit ends a hang.
    for line in peer.stdout:
        if line.startswith(prefix):
            return line.strip()
    return ""


def main(library_path, peer_path):
    assert ctypes.sizeof(HardwareConfiguration) == 300
    url = "tcp://127.0.0.1:%d/can0" % free_port()
    peer = subprocess.Popen([peer_path, "--bus", url, "--node", "5"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, text=True)
    failures = 0
    try:
        if read_line(peer, "ready") != "ready":
            print("peer did not start")
            return 1
        lib = ctypes.CDLL(library_path)
        checks = []

        def check(name, ok):
            checks.append((name, bool(ok)))
            print(("ok   " if ok else "FAIL ") + name)

        check("LoadDriver", lib.LoadDriver())
        hw = HardwareConfiguration()
        hw.InterfaceType = 2
        hw.AccessPoint = url.encode()
        handle = ctypes.c_uint32(0)
        check("OpenInterface", lib.OpenInterface(ctypes.byref(handle), ctypes.byref(hw)))
        h = handle.value
        check("SetBaud", lib.SetBaud(h, 250000))
        check("SetOnline", lib.SetOnline(h, 1))
        check("NMT_StartRemoteNode", lib.NMT_StartRemoteNode(h, 5))
        check("NMT frame on the bus", read_line(peer, "rx 000") == "rx 000 01 05")

        value = ctypes.c_uint32(0)
        check("SDO_Upload_UNSIGNED32", lib.SDO_Upload_UNSIGNED32(h, 5, 0x1000, 0, ctypes.byref(value)))
        check("device type 0x191", value.value == 0x191)
        length = ctypes.c_uint32(256)
        buffer = (ctypes.c_uint8 * 256)()
        check("SDO_Upload", lib.SDO_Upload(h, 5, 0x1008, 0, ctypes.byref(length), buffer))
        check("device name", bytes(buffer[:length.value]) == b"Tarnwick test peer")

        name = ctypes.create_string_buffer(256)
        lib.GetInterfaceName(2, name)
        check("GetInterfaceName", name.value == b"Virtual CAN bus")
        check("SetOnline 0", lib.SetOnline(h, 0))
        check("CloseInterface", lib.CloseInterface(h))
        check("UnloadDriver", lib.UnloadDriver())
        failures = sum(1 for _, ok in checks if not ok)
        print("%d passed, %d failed" % (len(checks) - failures, failures))
    finally:
        peer.stdin.close()
        try:
            peer.wait(timeout=30)
        except subprocess.TimeoutExpired:
            peer.kill()
            peer.wait()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
