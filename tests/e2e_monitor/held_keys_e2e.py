#!/usr/bin/env python3
"""End to end: no key stays down when the monitor ends with shortcut buttons held.

Stages a fresh program folder with the virtual mouse, starts the monitor, gives B4 the shortcut Ctrl+F11 and B6
Ctrl+Shift+F12 (sarnctl button, then apply), and starts a helper that watches the keyboard through a
low-level hook in its own process. Both buttons are pressed on the virtual mouse and never released; then the
monitor is told to exit. Every key it pressed must have come up, as the hook in the other process saw it.
"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, end_processes, wait_for  # noqa: E402

VK_F11 = 122
VK_F12 = 123


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
    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        wait_for("config.ini written", lambda: stage.ini("FWVersion") == "128")
        for button, keys in (("B4", "Ctrl+F11"), ("B6", "Ctrl+Shift+F12")):
            rc, out = stage.run(stage.sarnctl, "button", "1", button, "assign", "shortcut", keys)
            check(rc == 0, "button %s assign: %s" % (button, out))
        rc, out = stage.run(stage.sarnctl, "apply")
        check(rc == 0, "apply: %s" % out)

        watcher = stage.start(args.peer, "keys", "keys-ready", "keys-stop", output=open(seen_path, "w"))
        wait_for("the keyboard hook", lambda: os.path.exists(os.path.join(stage.dir, "keys-ready")), 60)
        for n, vk in (("4", VK_F11), ("6", VK_F12)):
            rc, out = stage.run(stage.sarnctl, "mouse", "press", n)
            check(rc == 0, "sarnctl mouse press %s: %s" % (n, out))
            wait_for("key %d down" % vk, lambda: "%d+" % vk in seen())
        check("17-" not in seen(), "Ctrl came up while both buttons were held: %s" % seen())

        rc, out = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit: %s" % out)
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
        open(os.path.join(stage.dir, "keys-stop"), "w").close()
        rc = watcher.wait(timeout=60)
        check(rc == 0, "keys left down after Exit (%s): %s" % (rc, " ".join(seen())))
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- keys seen ---")
        print(" ".join(seen()))
        return 1
    finally:
        end_processes(monitor, watcher)
    print("held keys end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
