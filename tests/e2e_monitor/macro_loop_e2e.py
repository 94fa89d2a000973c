#!/usr/bin/env python3
"""End to end: a looped macro waits its last step's delay between loops.

Stages a fresh program folder with the virtual mouse, starts the monitor, writes a macro store with one macro
(F7 down, 20 ms, F7 up, then a pause of 300 ms after the last step, three loops), gives it to B4 (sarnctl
button, then apply) and starts a helper that stamps every key through a low-level hook in its own process.
One click of B4 on the virtual mouse plays the macro: between the end of one loop (F7 up) and the start of
the next (F7 down) the hook must see about the pause. Wine's timing is noisy, so the bounds are generous; a
macro without the pause repeats within a few milliseconds.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, end_processes, wait_for  # noqa: E402

VK_F7 = 118
USAGE_F7 = 0x40
PAUSE_MS = 300
LOOPS = 3


def struct_value(data):
    """A struct as the INI codec writes it: upper-case hex pairs and the byte sum modulo 256."""
    return data.hex().upper() + "%02X" % (sum(data) % 256)


def macro_record(name, loops, steps):
    record = bytearray(2060)
    record[0:len(name)] = name.encode("ascii")
    record[52:56] = loops.to_bytes(4, "little", signed=True)
    record[56:60] = len(steps).to_bytes(4, "little")
    for i, (key, kind, delay) in enumerate(steps):
        record[60 + 4 * i:64 + 4 * i] = bytes([key, kind]) + delay.to_bytes(2, "little")
    return bytes(record)


def write_store(folder):
    record = macro_record("Gap", LOOPS, [(USAGE_F7, 1, 20), (USAGE_F7, 2, PAUSE_MS)])
    os.makedirs(os.path.join(folder, "config"), exist_ok=True)
    with open(os.path.join(folder, "config", "Sarn_sequence.dat"), "w", newline="") as f:
        f.write("[SetMacro]\r\nnumber=1\r\n0=Loops\r\n[Loops]\r\nnumber=1\r\n0=%s\r\n" % struct_value(record))


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "peer", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = MonitorFolder(args.work, args.monitor, args.hidport, args.sarnctl)
    monitor = stage.start(stage.monitor)
    watcher = None
    seen_path = os.path.join(stage.dir, "keys.txt")
    seen = lambda: open(seen_path).read().split() if os.path.exists(seen_path) else []

    def f7(sign):
        return [int(e.split("@")[1]) for e in seen() if e.startswith("%d%s@" % (VK_F7, sign))]

    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        wait_for("config.ini written", lambda: stage.ini("FWVersion") == "128")
        write_store(stage.dir)
        rc, out = stage.run(stage.sarnctl, "button", "1", "B4", "assign", "macro", "Loops", "Gap")
        check(rc == 0, "button B4 assign: %s" % out)
        rc, out = stage.run(stage.sarnctl, "apply")
        check(rc == 0, "apply: %s" % out)

        watcher = stage.start(args.peer, "timed-keys", "keys-ready", "keys-stop", output=open(seen_path, "w"))
        wait_for("the keyboard hook", lambda: os.path.exists(os.path.join(stage.dir, "keys-ready")), 60)
        # sarnctl under Wine on a loaded machine now and then fails to reach the virtual mouse before anything
        # was sent; a click that did not happen is tried again.
        for _ in range(3):
            rc, out = stage.run(stage.sarnctl, "mouse", "click", "4")
            if rc == 0 or f7("+"):
                break
            time.sleep(2)
        check(rc == 0 or f7("+"), "sarnctl mouse click 4: %s" % out)
        wait_for("%d loops" % LOOPS, lambda: len(f7("-")) >= LOOPS, 30)
        downs, ups = f7("+"), f7("-")
        check(len(downs) == LOOPS and len(ups) == LOOPS, "F7 seen %d down, %d up: %s" % (len(downs), len(ups), seen()))
        gaps = [downs[i + 1] - ups[i] for i in range(LOOPS - 1)]
        print("pauses between loops (ms): %s" % gaps)
        for gap in gaps:
            check(PAUSE_MS - 60 <= gap <= PAUSE_MS + 400, "a pause of %d ms between loops, not about %d" % (gap, PAUSE_MS))
        open(os.path.join(stage.dir, "keys-stop"), "w").close()
        watcher.wait(timeout=60)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- keys seen ---")
        print(" ".join(seen()))
        return 1
    finally:
        end_processes(monitor, watcher)
    print("macro loop pause end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
