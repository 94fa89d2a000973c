#!/usr/bin/env python3
"""End to end: a slot file held open without any sharing while Sarn[+]Monitor.exe starts under Wine.

The monitor cannot read config\\Default2.zmp at start, so its copy holds defaults for slot 3; the full read of
the virtual mouse must not save those over the file (Wine renames over an open file, so without the check the
user's name and buttons would be gone). Once the holder lets go, the next full read (unplug and plug) reads
the file into the copy first and saves it with the mouse's values: the user's name stays, the mouse's
sensitivity comes in.
"""
import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, end_processes, tail, wait_for  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "peer", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = MonitorFolder(args.work, args.monitor, args.hidport, args.sarnctl)
    debug = os.path.join(stage.dir, "monitor-debug.txt")
    env = dict(stage.env, SARN_WINEDEBUG="+debugstr")
    slot = os.path.join(stage.dir, "config", "Default2.zmp")
    host_mode = lambda: [d[2] for op, d in stage.reports() if op == "SET" and d[0] == 0x0A]
    monitor = peer = None
    try:
        # The user's slot 3, differing from both the defaults and the mouse (Sensitivity_X 9 against its 5).
        monitor = stage.start(stage.monitor, env=env, output=open(debug, "w"))
        wait_for("host mode on", lambda: host_mode() == [1], 90)
        wait_for("the slot files", lambda: os.path.exists(slot))
        check(stage.run(stage.sarnctl, "monitor", "exit")[0] == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
        for command in (("profile", "3", "set", "ProFileName=Racing", "Sensitivity_X=9"),
                        ("button", "3", "B4", "assign", "shortcut", "Ctrl+Shift+A")):
            rc, out = stage.run(stage.sarnctl, *command)
            check(rc == 0, "sarnctl %s: %s" % (" ".join(command), out))
        held = open(slot, "rb").read()
        check(b"ProFileName=Racing" in held and b"Sensitivity_X=9" in held, "the user's slot 3")

        ready, stop = os.path.join(stage.dir, "lock-ready"), os.path.join(stage.dir, "lock-stop")

        def hold():
            for name in (ready, stop):
                if os.path.exists(name):
                    os.remove(name)
            holder = stage.start(args.peer, "lock", "config\\Default2.zmp", "lock-ready", "lock-stop")
            wait_for("the file held", lambda: os.path.exists(ready) or holder.poll() is not None, 60)
            check(holder.poll() is None, "the holder could not open the slot file")
            return holder

        def release(holder):
            open(stop, "w").close()
            check(holder.wait(timeout=60) == 0, "the holder ended badly")

        def b4(text):
            return [l for l in text.split(b"\r\n") if l.startswith(b"MacroKeyInfo3=")]

        untouched = b4(open(os.path.join(stage.dir, "config", "Default1.zmp"), "rb").read())
        check(b4(held) != untouched, "B4 of slot 3 was not assigned")

        # 1. Held while the monitor starts and loads, let go while it reads the mouse (as a backup program at
        #    logon): the save after the read keeps the user's name and B4, with the mouse's sensitivity.
        peer = hold()
        reports_before = len(stage.reports())
        monitor = stage.start(stage.monitor, env=env, output=open(debug, "w"))
        wait_for("the read of the mouse", lambda: len(stage.reports()) > reports_before, 60)
        release(peer)
        saved = wait_for("slot 3 saved after the read",
                         lambda: (lambda b: b if b"Sensitivity_X=5" in b else None)(open(slot, "rb").read()), 90)
        check(b"ProFileName=Racing" in saved, "the name of slot 3 was replaced")
        check(b4(saved) != untouched, "B4's shortcut of slot 3 was lost")
        check(stage.run(stage.sarnctl, "monitor", "exit")[0] == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)

        # 2. Held through the whole start and read: the file is left as it is.
        open(slot, "wb").write(held)
        peer = hold()
        reports_before = len(host_mode())
        monitor = stage.start(stage.monitor, env=env, output=open(debug, "w"))
        wait_for("host mode on", lambda: host_mode()[reports_before:] == [1], 90)
        wait_for("the save after the read", lambda: "it could not be read when loaded" in open(debug, errors="replace").read()
                 or open(slot, "rb").read() != held)
        check(open(slot, "rb").read() == held, "the held slot file was replaced")
        check(b"MacroKeyInfo3=" in held, "the file has its buttons")

        # Let go; the next full read takes the file in and saves it.
        release(peer)
        stage.run(stage.sarnctl, "mouse", "unplug")
        wait_for("Device=0", lambda: stage.ini("Device") == "0")
        reports_before = len(host_mode())
        stage.run(stage.sarnctl, "mouse", "plug")
        wait_for("a new full read", lambda: host_mode()[reports_before:] == [1], 90)
        saved = wait_for("slot 3 saved with the mouse's values",
                         lambda: (lambda b: b if b"Sensitivity_X=5" in b else None)(open(slot, "rb").read()), 30)
        check(b"ProFileName=Racing" in saved, "the user's name was lost")
        # Apart from the sensitivity and B4 (whose function code the mouse reports), the file is as it was;
        # B4 keeps its shortcut, so it differs from B4 of an untouched slot.
        changed = lambda line: line.startswith(b"Sensitivity_X=") or line.startswith(b"MacroKeyInfo3=")
        check([l for l in saved.split(b"\r\n") if not changed(l)] == [l for l in held.split(b"\r\n") if not changed(l)],
              "slot 3 changed beyond the mouse's values")
        check(b4(saved) != untouched, "B4's shortcut was lost")
        check(stage.run(stage.sarnctl, "monitor", "exit")[0] == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- monitor debug output ---")
        print(tail(debug))
        return 1
    finally:
        if peer is not None and peer.poll() is None:
            open(os.path.join(stage.dir, "lock-stop"), "w").close()
        end_processes(peer, grace=10)
        end_processes(monitor)
    print("held slot file end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
