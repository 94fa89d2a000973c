#!/usr/bin/env python3
"""End to end: a library planted in the program folder under a system library's name is never loaded.

The zip is unpacked into Downloads, beside whatever else was downloaded there. Stages a program folder with
the monitor, the virtual mouse and a library that marks its own loading (planted_library.dll) copied in as
wtsapi32.dll, which the monitor loads late at every start. Wine itself prefers its own system libraries, so
the test asks it to take a same-named file first (native before builtin), as Windows does for any library
that is no KnownDLL. The monitor must start (the full read ends with host mode on) and the mark must not be
there.
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, wait_for  # noqa: E402

PLANTED = ("wtsapi32",)


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "planted", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = MonitorFolder(args.work, args.monitor, args.hidport, args.sarnctl)
    for name in PLANTED:
        shutil.copy(args.planted, os.path.join(stage.dir, name + ".dll"))
    env = dict(stage.env, SARN_WINEDLLOVERRIDES=";".join(n + "=n,b" for n in PLANTED))
    monitor = stage.start(stage.monitor, env=env)
    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        check(monitor.poll() is None, "the monitor ended")
        marks = [n for n in os.listdir(stage.dir) if n.endswith(".loaded")]
        check(not marks, "planted libraries were loaded: %s" % marks)
        rc, _ = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        if monitor.poll() is None:
            monitor.kill()
    print("planted library end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
