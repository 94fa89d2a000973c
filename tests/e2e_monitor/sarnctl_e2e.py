#!/usr/bin/env python3
"""End to end: sarnctl's edits reach the virtual mouse through the running monitor, under Wine.

Stages a fresh program folder, starts the monitor and, once it has read the mouse, checks through the mouse's
report log and its own state reply: `profile 2 set Cpi_X=4` then `apply` sends report 6 for slot 2 (and
nothing else) and the mouse keeps 1600 DPI; an apply with nothing changed sends nothing; `button 1 B4 assign
profile-up` then `apply` sends report 7 for slot 1; pressing that button is followed by `monitor events` as a
profile switch; an import of an export changes nothing on the mouse; edits beside a monitor that receives
profile switches lose none of them; apply and import with a file held open by another program write nothing;
exports leave the mail password out; an edit while the monitor runs warns, or with --apply reaches the mouse;
the on-screen display's keys are set and shown back, and a refused one writes nothing; a display window is
told of a DPI change on the mouse with its sound off, and to reload after an edit with --apply (by the monitor,
or by sarnctl when no monitor runs);
without a monitor, apply says so. Every wait polls with a deadline.
"""
import argparse
import json
import os
import queue
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import WINE_RUN, Failure, MonitorFolder, check, end_processes, tail, wait_for  # noqa: E402


class Stage(MonitorFolder):
    def __init__(self, args):
        super().__init__(args.work, args.monitor, args.hidport, args.sarnctl)

    def ctl(self, *words):
        return self.run(self.sarnctl, *words)

    def ctl_err(self, *words):
        """Exit code, stdout and stderr of one sarnctl call."""
        p = subprocess.run([WINE_RUN, self.sarnctl, *words], cwd=self.dir, env=self.env, capture_output=True,
                           text=True, timeout=120)
        return p.returncode, p.stdout.strip(), p.stderr.strip()

    def files(self):
        """config.ini and every file of config/, as bytes."""
        names = ["config.ini"] + [os.path.join("config", n) for n in os.listdir(os.path.join(self.dir, "config"))]
        return {n: open(os.path.join(self.dir, n), "rb").read() for n in names if os.path.isfile(os.path.join(self.dir, n))}

    def hold(self, holder, relative):
        """Starts a program that holds the file open without sharing; returns a function that ends it."""
        tag = relative.replace("/", "_").replace(".", "_")
        ready, stop = os.path.join(self.dir, tag + ".ready"), os.path.join(self.dir, tag + ".stop")
        for f in (ready, stop):
            if os.path.exists(f):
                os.remove(f)
        process = self.start(holder, relative.replace("/", "\\"), tag + ".ready", tag + ".stop")
        wait_for("the file holder", lambda: os.path.exists(ready) or process.poll() is not None, 60)
        check(process.poll() is None, "the file holder could not open " + relative)

        def release():
            open(stop, "w").close()
            process.wait(timeout=60)
        return release

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
    for name in ("monitor", "hidport", "sarnctl", "holder", "peer", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = Stage(args)
    monitor = stage.start(stage.monitor)
    follower = display = None
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

        # 6. Edits beside a monitor that receives profile switches from the mouse: no switch is lost.
        switches = [2, 4, 1, 5, 3, 2]
        done = []

        def switch():
            for n in switches:
                stage.ctl("mouse", "event", "0x%08X" % (0x30000000 | n))
            done.append(True)
        switcher = threading.Thread(target=switch)
        switcher.start()
        volume = 0
        while not done:
            volume = (volume + 1) % 5
            rc, out = stage.ctl("settings", "set", "SoundVolume=%d" % volume)
            check(rc == 0, "settings set: %s" % out)
        switcher.join()
        wait_for("the last profile switch in the block", lambda: json.loads(stage.ctl("monitor", "show")[1])["CurrentProfile"] == switches[-1] - 1, 30)
        wait_for("the last profile switch in config.ini", lambda: stage.ini("CurrentProfile") == str(switches[-1] - 1), 10)
        check(stage.ini("SoundVolume") == str(volume), "SoundVolume %s, not %d" % (stage.ini("SoundVolume"), volume))

        # 7. apply with config.ini held open by another program: nothing written, nothing sent, and why.
        rc, out = stage.ctl("button", "1", "B6", "assign", "disabled")
        check(rc == 0, "button assign: %s" % out)
        before_files = stage.files()
        before = len(stage.reports())
        release = stage.hold(args.holder, "config.ini")
        try:
            rc, out, err = stage.ctl_err("apply")
        finally:
            release()
        check(rc == 1 and "cannot read" in err and "config.ini" in err, "apply with config.ini held: %d %s" % (rc, err))
        check(stage.files() == before_files, "apply with config.ini held changed the files")
        check(not os.path.exists(os.path.join(stage.dir, "config.ini.pending")), "apply left config.ini.pending")
        check(sent_since(stage, before) == [], "apply with config.ini held sent %s" % names(sent_since(stage, before)))
        rc, out = stage.ctl("apply")
        check(rc == 0, "apply once the file is free: %s" % out)

        # 8. Exports leave the mail password out; an import of one keeps the folder's password.
        rc, full = stage.ctl("export", "--with-secrets")
        check(rc == 0, "export --with-secrets")
        document = json.loads(full)
        document["notification"]["mailPassword"] = "Zq7secret"
        with open(path, "w", newline="\n") as f:
            json.dump(document, f)
        rc, out, err = stage.ctl_err("import", "backup.json")
        check(rc == 0, "import with a password: %s" % err)
        rc, plain = stage.ctl("export")
        check(rc == 0 and "Zq7secret" not in plain and "mailPassword" not in plain, "export shows the mail password")
        with open(path, "w", newline="\n") as f:
            f.write(plain + "\n")
        rc, out, err = stage.ctl_err("import", "backup.json")
        check(rc == 0, "import without a password: %s" % err)
        rc, full = stage.ctl("export", "--with-secrets")
        check(json.loads(full)["notification"]["mailPassword"] == "Zq7secret", "an import without the password cleared it")

        # 9. import with one slot file held open: all files old (or, where the system lets the rename through,
        #    all new), never a mix.
        changed = json.loads(plain)
        changed["settings"]["SoundVolume"] = (volume + 2) % 5
        for profile in changed["profiles"]:
            profile["TiltSpeed"] = 7
        with open(path, "w", newline="\n") as f:
            json.dump(changed, f)
        old_files = stage.files()
        release = stage.hold(args.holder, "config/Default2.zmp")
        try:
            rc, out, err = stage.ctl_err("import", "backup.json")
        finally:
            release()
        now = stage.files()
        changed_names = sorted(n for n in old_files if now.get(n) != old_files[n])
        check(rc != 0 and changed_names == [], "import with Default2.zmp held: rc %d, %s changed; %s" % (rc, changed_names, err))
        check("Default2.zmp" in err, "import did not say which file: %s" % err)
        rc, out, err = stage.ctl_err("import", "backup.json")
        check(rc == 0 and all(stage.files()[n] != old_files[n] for n in ["config.ini"] + ["config/Default%d.zmp" % i for i in range(5)]),
              "import once the file is free: %s" % err)

        # 10. An edit while the monitor runs warns that the monitor will replace it; with --apply it reaches the mouse.
        rc, out, err = stage.ctl_err("profile", "2", "set", "TiltSpeed=5")
        check(rc == 0 and "sarnctl apply" in err and "--apply" in err, "no warning for an edit beside the monitor: %s" % err)
        rc, out, err = stage.ctl_err("profile", "2", "set", "Cpi_X=2", "--apply")
        check(rc == 0 and "warning" not in err, "profile set --apply: %d %s %s" % (rc, out, err))
        check(stage.mouse_state()["profiles"][1]["Cpi_X"] == 2, "--apply did not reach the mouse")
        # The on-screen display's keys, set beside a running monitor and shown back; a refused one writes nothing.
        rc, out, err = stage.ctl_err("settings", "set", "OsdPosition=top", "OsdHiddenWhile=A.exe; b.exe", "--apply")
        check(rc == 0, "settings set of the display's keys --apply: %d %s" % (rc, err))
        shown = json.loads(stage.ctl("settings", "show")[1])["OnScreenDisplay"]
        check(shown["Position"] == "top" and shown["HiddenWhile"] == ["a.exe", "b.exe"], "settings show: %s" % shown)
        before_files = stage.files()
        rc, out, err = stage.ctl_err("settings", "set", "SoundVolume=1", "OsdDuration=10")
        check(rc == 1 and "OsdDuration" in err and stage.files() == before_files, "a refused display key: %d %s" % (rc, err))

        # The display is told: with its sound off, a DPI change on the mouse reaches the display's window, and an
        # edit with --apply makes it reload (OsdSettings, from the monitor's ApplyAll).
        told = os.path.join(stage.dir, "display.txt")
        display = stage.start(args.peer, "display", "display-ready", "display-stop", output=open(told, "w"))
        wait_for("the display's window", lambda: os.path.exists(os.path.join(stage.dir, "display-ready")), 60)
        rc, out, err = stage.ctl_err("settings", "set", "SoundDpi=0", "OsdPosition=center", "--apply")
        check(rc == 0, "settings set SoundDpi=0 --apply: %d %s" % (rc, err))
        wait_for("the display told to reload", lambda: "settings" in open(told).read().split("\n"), 30)
        rc, out = stage.ctl("mouse", "event", "0xB0000001")
        check(rc == 0, "mouse event: %s" % out)
        wait_for("OsdShow of DPI level 1", lambda: "show 3 1" in open(told).read(), 30)
        open(os.path.join(stage.dir, "display-stop"), "w").close()
        check(display.wait(timeout=60) == 0, "the display stand-in failed: %s" % open(told).read())
        check("applyall" not in open(told).read(), "the display was sent ApplyAll beside a monitor")

        # 11. Without a monitor, apply says so.
        rc, _ = stage.ctl("monitor", "exit")
        check(rc == 0, "monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
        wait_for("monitor events to end", lambda: follower.poll() is not None, 30)
        check(any(e.get("event") == "monitor-ended" for e in lines.events()), "no monitor-ended event")
        p = subprocess.run([WINE_RUN, stage.sarnctl, "apply"], cwd=stage.dir, env=stage.env, capture_output=True,
                           text=True, timeout=60)
        check(p.returncode == 1 and "no monitor is running" in p.stderr, "apply without a monitor: %s" % p.stderr)
        # Without a monitor to forward it, the display's window gets ApplyAll from sarnctl itself.
        told = os.path.join(stage.dir, "display2.txt")
        display = stage.start(args.peer, "display", "display2-ready", "display2-stop", output=open(told, "w"))
        wait_for("the display's window", lambda: os.path.exists(os.path.join(stage.dir, "display2-ready")), 60)
        rc, out, err = stage.ctl_err("settings", "set", "OsdPosition=bottom", "--apply")
        check(rc == 1 and "no monitor is running" in err, "settings set --apply without a monitor: %d %s" % (rc, err))
        wait_for("the display told to reload without a monitor", lambda: "applyall" in open(told).read(), 30)
        open(os.path.join(stage.dir, "display2-stop"), "w").close()
        check(display.wait(timeout=60) == 0, "the display stand-in failed: %s" % open(told).read())
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- report log ---")
        print(tail(stage.log))
        return 1
    finally:
        end_processes(monitor, follower, display)
    print("sarnctl end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
