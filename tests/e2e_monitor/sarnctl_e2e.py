#!/usr/bin/env python3
"""End to end: sarnctl's edits reach the virtual mouse through the running monitor, under Wine.

Stages a fresh program folder, starts the monitor and, once it has read the mouse, checks through the mouse's
report log and its own state reply: `profile 2 set Cpi_X=4` then `apply` sends report 6 for slot 2 (and
nothing else) and the mouse keeps 1600 DPI; an apply with nothing changed sends nothing; `button 1 B4 assign
profile-up` then `apply` sends report 7 for slot 1; pressing that button is followed by `monitor events` as a
profile switch; an import of an export changes nothing on the mouse; without a monitor, apply says so.
Every wait polls with a deadline.
"""
import argparse
import json
import os
import queue
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import WINE_RUN, Failure, MonitorFolder, check, wait_for  # noqa: E402


class Stage(MonitorFolder):
    def __init__(self, args):
        super().__init__(args.work, args.monitor, args.hidport, args.sarnctl)

    def ctl(self, *words):
        return self.run(self.sarnctl, *words)

    def mouse_state(self):
        rc, out = self.ctl("mouse", "state")
        check(rc == 0 and out.startswith("ok "), "sarnctl mouse state: %s" % out)
        return json.loads(out[3:])


def sent_since(stage, before):
    """Reports written or read since `before`, without the ready polls."""
    return [(op, d) for op, d in stage.reports()[before:] if not (op == "GET" and d[0] == 4)]


def names(reports):
    return ["%s%02X" % (op, d[0]) for op, d in reports]


class Lines:
    """The lines of a running program's output, collected by a thread."""

    def __init__(self, process):
        self.queue = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, args=(process,), daemon=True).start()

    def _read(self, process):
        for line in process.stdout:
            self.queue.put(line.strip())

    def events(self):
        while not self.queue.empty():
            line = self.queue.get()
            if line.startswith("{"):
                self.seen.append(json.loads(line))
        return self.seen


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = Stage(args)
    monitor = stage.start(stage.monitor)
    follower = None
    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        wait_for("config.ini written", lambda: stage.ini("FWVersion") == "128")
        follower = subprocess.Popen([WINE_RUN, stage.sarnctl, "monitor", "events"], cwd=stage.dir, env=stage.env,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        lines = Lines(follower)
        wait_for("monitor events to start", lambda: any(e.get("event") == "following" for e in lines.events()), 60)

        # 1. A device setting of profile 2: report 6 for slot 2 alone, and the mouse keeps it.
        rc, out = stage.ctl("profile", "2", "set", "Cpi_X=4")
        check(rc == 0, "profile 2 set Cpi_X=4: %s" % out)
        before = len(stage.reports())
        rc, out = stage.ctl("apply")
        check(rc == 0, "apply: %s" % out)
        flags = json.loads(out)
        check(flags["ProfileChanged"] == [0, 1, 0, 0, 0] and flags["SettingsChanged"] == 0, "apply flags %s" % out)
        sent = sent_since(stage, before)
        check(names(sent) == ["SET06"], "apply sent %s" % names(sent))
        check(sent[0][1][2] == 1 and sent[0][1][7] == 4, "report 6 %s" % sent[0][1])
        check(stage.mouse_state()["profiles"][1]["Cpi_X"] == 4, "the mouse did not keep Cpi_X 4")
        check(stage.mouse_state()["profiles"][0]["Cpi_X"] == 2, "profile 1 changed on the mouse")

        # 2. Nothing changed: nothing is sent.
        before = len(stage.reports())
        rc, out = stage.ctl("apply")
        check(rc == 0 and sent_since(stage, before) == [], "an apply without changes sent %s" % names(sent_since(stage, before)))

        # 3. A button: report 7 for slot 1; the button then switches profiles on the mouse, which the follower sees.
        rc, out = stage.ctl("button", "1", "B4", "assign", "profile-up")
        check(rc == 0, "button assign: %s" % out)
        before = len(stage.reports())
        rc, out = stage.ctl("apply")
        check(rc == 0, "apply: %s" % out)
        sent = sent_since(stage, before)
        check(names(sent) == ["SET07"] and sent[0][1][2] == 0, "apply after assign sent %s" % names(sent))
        check(stage.mouse_state()["profiles"][0]["buttons"][3] == 17, "the mouse's B4 is not profile up")
        rc, out = stage.ctl("mouse", "click", "4")
        check(rc == 0, "mouse click 4: %s" % out)
        wait_for("the profile switch event",
                 lambda: any(e.get("event") == "profile-switched" and e.get("profile") == 2 for e in lines.events()), 60)

        # 4. An import of an export writes the same files: nothing to send.
        rc, document = stage.ctl("export")
        check(rc == 0, "export")
        path = os.path.join(stage.dir, "backup.json")
        with open(path, "w", newline="\n") as f:
            f.write(document + "\n")
        files = {n: open(os.path.join(stage.dir, "config", n), "rb").read() for n in os.listdir(os.path.join(stage.dir, "config"))}
        rc, out = stage.ctl("import", "backup.json")
        check(rc == 0, "import: %s" % out)
        for n, data in files.items():
            check(open(os.path.join(stage.dir, "config", n), "rb").read() == data, "import changed config/%s" % n)
        before = len(stage.reports())
        rc, out = stage.ctl("apply")
        check(rc == 0 and sent_since(stage, before) == [], "apply after import sent %s" % names(sent_since(stage, before)))

        # 5. A refused edit changes nothing.
        slot_file = os.path.join(stage.dir, "config", "Default1.zmp")
        kept = open(slot_file, "rb").read()
        rc, out = stage.ctl("profile", "2", "set", "Cpi_X=3")
        check(rc != 0 and open(slot_file, "rb").read() == kept, "a bad DPI level was taken")

        # 6. Without a monitor, apply says so.
        rc, _ = stage.ctl("monitor", "exit")
        check(rc == 0, "monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
        wait_for("monitor events to end", lambda: follower.poll() is not None, 30)
        check(any(e.get("event") == "monitor-ended" for e in lines.events()), "no monitor-ended event")
        p = subprocess.run([WINE_RUN, stage.sarnctl, "apply"], cwd=stage.dir, env=stage.env, capture_output=True,
                           text=True, timeout=60)
        check(p.returncode == 1 and "no monitor is running" in p.stderr, "apply without a monitor: %s" % p.stderr)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- report log ---")
        print(open(stage.log).read()[-3000:] if os.path.exists(stage.log) else "(none)")
        return 1
    finally:
        for p in (monitor, follower):
            if p is not None and p.poll() is None:
                p.kill()
    print("sarnctl end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
