#!/usr/bin/env python3
"""End to end: the monitor's device thread and the messages around it, under Wine against the virtual mouse.

- The hand-over message of a finished read (WM_APP+1) posted by another program, with lParam 0 and 0x1000:
  the monitor stays alive and carries out a command posted afterwards.
- A DeviceEvent of the presence type (0x7F000002) does not close the mouse.
- A DPI button pressed every second during a full read: the reading is still taken over (FWVersion written);
  pressed after the read took the profile's settings, the block ends with the DPI the mouse has.
- Exit with a full read queued behind a running one on a busy mouse: it waits no longer than an idle Exit.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, tail, wait_for  # noqa: E402

WM_TIMER = 0x0113
WM_APP = 0x8000
FIRST_READ_TIMER = 502  # the window timer that queues a full read
DPI_CYCLE = 20


class Stage(MonitorFolder):
    def __init__(self, args):
        super().__init__(args.work, args.monitor, args.hidport, args.sarnctl)
        self.block_apply = args.block_apply
        self.peer = args.peer
        self.debug = os.path.join(self.dir, "monitor-debug.txt")

    def start_monitor(self):
        return self.start(self.monitor, env=dict(self.env, SARN_WINEDEBUG="+debugstr"), output=open(self.debug, "w"))

    def debug_text(self):
        return open(self.debug, errors="replace").read() if os.path.exists(self.debug) else ""

    def ctl(self, *words):
        rc, out = self.run(self.sarnctl, *words)
        if rc != 0:
            raise Failure("sarnctl %s: %s" % (" ".join(words), out))
        return out

    def post(self, message, wparam, lparam):
        rc, _ = self.run(self.peer, "post", str(message), str(wparam), str(lparam))
        check(rc == 0, "posting message %#x" % message)

    def answers(self, what):
        """Posts a configure command and waits until the monitor has carried it out: every message posted
        before it has been handled by then."""
        count = self.debug_text().count("CMonitorWnd OnCustomizer hWnd")
        self.ctl("monitor", "configure")
        wait_for("the monitor to answer after %s" % what,
                 lambda: self.debug_text().count("CMonitorWnd OnCustomizer hWnd") > count, 30)

    def reads_started(self):
        return sum(1 for op, d in self.reports() if op == "GET" and d[0] == 9)

    def settings_of_last_read(self, slot):
        """Report 6 of that slot from the latest full read, when it has been read."""
        reports = self.reports()
        starts = [i for i, (op, d) in enumerate(reports) if op == "GET" and d[0] == 9]
        if not starts:
            return None
        settings = [d for op, d in reports[starts[-1]:] if op == "GET" and d[0] == 6]
        return settings[slot] if len(settings) > slot else None

    def set_ini(self, key, value):
        path = os.path.join(self.dir, "config.ini")
        text = open(path, newline="").read()
        edited = re.sub(r"^%s=[^\r\n]*" % re.escape(key), "%s=%s" % (key, value), text, count=1, flags=re.M)
        check(edited != text, "no %s in config.ini" % key)
        open(path, "w", newline="").write(edited)


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "block-apply", "peer", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = Stage(args)
    monitor = stage.start_monitor()
    try:
        host_mode = lambda: [d[2] for op, d in stage.reports() if op == "SET" and d[0] == 0x0A]
        wait_for("the start-up read", lambda: host_mode() == [1], 90)
        wait_for("FWVersion", lambda: stage.ini("FWVersion") == "128")

        # 1. The hand-over message from another program carries nothing the monitor takes.
        for wparam, lparam in ((0, 0), (0, 0x1000), (0x1000, 0xDEADBEEF)):
            stage.post(WM_APP + 1, wparam, lparam)
        stage.answers("WM_APP+1 from another program")
        check(monitor.poll() is None, "the monitor ended on a foreign WM_APP+1")

        # 2. A DeviceEvent of the presence type is not a removal.
        stage.ctl("mouse", "event", "0x7F000002")
        stage.answers("DeviceEvent 0x7F000002")
        check(stage.ini("Device") == "1", "a DeviceEvent closed the mouse")
        before = len(stage.reports())
        rc, _ = stage.run(stage.block_apply, "sound=1")
        sent = [(op, d[0]) for op, d in stage.reports()[before:] if not (op == "GET" and d[0] == 4)]
        check(rc == 0 and sent == [("SET", 5)], "the mouse no longer takes an Apply: %s" % sent)

        # 3. DPI presses every second during a full read: the reading lands all the same.
        rc, _ = stage.run(stage.block_apply, "button=0,3,%d" % DPI_CYCLE)
        check(rc == 0, "B4 of profile 1 as DPI cycle")
        stage.set_ini("FWVersion", "0")
        reads = stage.reads_started()
        stage.post(WM_TIMER, FIRST_READ_TIMER, 0)
        wait_for("the read to start", lambda: stage.reads_started() > reads)
        start = time.monotonic()
        presses = 0
        while stage.ini("FWVersion") != "128":
            check(time.monotonic() - start < 25, "no reading taken over after %d DPI presses" % presses)
            stage.ctl("mouse", "click", "4")
            presses += 1
            time.sleep(max(0.0, start + presses - time.monotonic()))
        check(presses >= 4, "only %d DPI presses during the read" % presses)
        check("reading the mouse again" not in stage.debug_text(), "a DPI press made the mouse be read again")
        wait_for("host mode on after the read", lambda: host_mode()[-1:] == [1] and len(host_mode()) >= 2, 30)

        #    A press after the read took profile 1's settings: the copy keeps the DPI the mouse has now,
        #    not the reading's older one.
        stage.set_ini("FWVersion", "0")
        reads = stage.reads_started()
        stage.post(WM_TIMER, FIRST_READ_TIMER, 0)
        wait_for("the read to start", lambda: stage.reads_started() > reads)
        reading_dpi = wait_for("profile 1's settings read", lambda: stage.settings_of_last_read(0), 30)[7]
        stage.ctl("mouse", "click", "4")
        mouse_dpi = json.loads(stage.ctl("mouse", "state")[3:])["profiles"][0]["Cpi_X"]
        check(mouse_dpi != reading_dpi, "the press did not change the mouse's DPI")
        wait_for("the reading taken over", lambda: stage.ini("FWVersion") == "128", 30)
        stage.answers("the take-over")
        rc, out = stage.run(stage.sarnctl, "monitor", "show")
        check(rc == 0, "sarnctl monitor show")
        block_dpi = json.loads(out)["profiles"][0]["Cpi_X"]
        check(block_dpi == mouse_dpi,
              "block DPI %s, mouse DPI %s, the reading's %s" % (block_dpi, mouse_dpi, reading_dpi))

        # 4. Exit with a full read running, another queued behind it and the mouse busy: it takes no longer
        #    than an Exit with nothing to do (under Wine without a tray host removing the tray icon alone takes
        #    about 2 s, so the idle Exit of this monitor is the measure), and within 2 s of that.
        rc, idle = stage.run(stage.peer, "exit-within", "30000")
        check(rc == 0, "idle Exit took %s ms" % idle)
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 30)
        monitor = stage.start_monitor()
        reads = stage.reads_started()
        wait_for("the start-up read running", lambda: stage.reads_started() > reads, 90)
        stage.post(WM_TIMER, FIRST_READ_TIMER, 0)  # a second read queued behind it
        stage.ctl("mouse", "busy", "30")
        rc, took = stage.run(stage.peer, "exit-within", str(int(idle) + 2000))
        check(rc == 0, "Exit took %s ms with a read queued, %s ms with nothing to do" % (took, idle))
        check(int(took) - int(idle) < 1000, "Exit waited %s ms for the device thread" % (int(took) - int(idle)))
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 30)
        check(monitor.returncode == 0, "monitor exit code %s" % monitor.returncode)
        check(host_mode()[-1] == 0, "host mode not switched off at Exit")
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- report log ---")
        print(tail(stage.log))
        print("--- monitor debug output ---")
        print(stage.debug_text()[-3000:])
        return 1
    finally:
        if monitor.poll() is None:
            monitor.kill()
    print("device thread end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
