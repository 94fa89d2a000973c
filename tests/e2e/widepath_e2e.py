#!/usr/bin/env python3
"""End to end: a program folder whose name lies outside the system code page works like any other.

For a Polish and a Chinese folder name (neither is in Wine's Western code page) under the work folder: the
monitor started with "1" loads the virtual mouse's hidport.dll from its folder, reads the mouse (report log
beside it, Device=1 and FWVersion=128 in config.ini) and opens the configuration window, which shows the
monitor's profiles; the window's slot 3 + Apply reaches the mouse as report 5; `sarnctl profile 2 set` and
`sarnctl apply`, run from the folder without naming it, reach it as report 6; the mouse keeps its memory in
virtual-mouse.ini beside the library. Every wait polls with a deadline.
"""
import argparse
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import Failure, check, wait_for  # noqa: E402
from option_e2e import APPLY, DEFAULT_NAMES, SLOT, Stage, controls, start_display  # noqa: E402

FOLDER_NAMES = ["\u0141ukasz", "\u6d4b\u8bd5"]  # "Łukasz", "测试"


def writes(stage, before):
    return [(op, d) for op, d in stage.reports()[before:] if op == "SET"]


def one_folder(args, name):
    stage = Stage(args, name, True)
    # German labels come only from help\German_help.dll, which the window finds through its folder.
    shutil.copy(os.path.join(os.path.dirname(args.help_library), "German_help.dll"), os.path.join(stage.dir, "help"))
    with open(os.path.join(stage.dir, "config.ini"), "w", newline="") as f:
        f.write("[Setting]\r\nQuickHelpLan=4\r\n")
    monitor = stage.start(stage.monitor, "1")
    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 60)
        wait_for("Device=1 and FWVersion=128 in config.ini",
                 lambda: stage.ini("Device") == "1" and stage.ini("FWVersion") == "128", 30)
        stage.window(60)
        s = wait_for("the monitor's profiles in the window", lambda: stage.state()["slots"] == [1, 0, 0, 0, 0] and stage.state())
        check(s["names"] == DEFAULT_NAMES, "names %s" % s["names"])
        label = controls(s["window"]["main"])[APPLY].get("label")
        check(label == "Anwenden", "the window did not load its German help library: Apply reads %r" % label)

        before = len(stage.reports())
        stage.click(SLOT + 2)
        wait_for("slot 3 selected", lambda: stage.state()["slots"] == [0, 0, 1, 0, 0])
        stage.click(APPLY)
        wait_for("report 5", lambda: writes(stage, before))
        sent = writes(stage, before)
        check([d[0] for _, d in sent] == [5] and sent[0][1][2] == 2, "slot 3 + Apply sent %s" % sent)
        wait_for("CurrentProfile=2 in config.ini", lambda: stage.ini("CurrentProfile") == "2")
        stage.run(stage.driver, "close")
        wait_for("the window to close", lambda: stage.state()["windows"] == 0)

        rc, out = stage.run(stage.sarnctl, "profile", "2", "set", "Cpi_X=4")
        check(rc == 0, "sarnctl profile 2 set Cpi_X=4: %s" % out)
        before = len(stage.reports())
        rc, out = stage.run(stage.sarnctl, "apply")
        check(rc == 0, "sarnctl apply: %s" % out)
        sent = writes(stage, before)
        check([d[0] for _, d in sent] == [6] and sent[0][1][2] == 1, "sarnctl apply sent %s" % sent)

        rc, _ = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 30)
        check(os.path.exists(os.path.join(stage.dir, "virtual-mouse.ini")), "the mouse kept no memory beside its library")
    finally:
        if monitor.poll() is None:
            monitor.kill()


def main():
    parser = argparse.ArgumentParser()
    for name in ("option", "help-library", "driver", "work", "monitor", "hidport", "sarnctl"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    for name in ("option", "help_library", "driver", "work", "monitor", "hidport", "sarnctl"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    os.makedirs(args.work, exist_ok=True)
    stop_display = start_display()
    try:
        Stage(args, "warm-up", False).warm_up()
        for name in FOLDER_NAMES:
            try:
                one_folder(args, name)
            except (Failure, subprocess.TimeoutExpired) as e:
                raise Failure("in folder %s: %s" % (name, e))
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        stop_display()
    print("wide program folders end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
