#!/usr/bin/env python3
"""End to end: Sarn[+]OSD.exe in a program folder of its own, driven from another process as the monitor drives
it (OsdShow posted to the window titled "ZORVAN Sarn[+] Mouse OSD"), read back through osd_probe: each change
shows its text, a later one replaces it, and WM_CLOSE ends the program. A monitor-driven test stages the display
beside the monitor and waits with the same wait_for_osd_text.
"""
import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import (Failure, ProgramFolder, check, end_processes, run_osd_probe, wait_for,  # noqa: E402
                          wait_for_osd_text)

DPI, COUNTDOWN = 3, 8


def main():
    parser = argparse.ArgumentParser()
    for name in ("osd", "probe", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    stage = ProgramFolder(work)
    osd = os.path.join(work, "Sarn[+]OSD.exe")
    shutil.copy(args.osd, osd)
    with open(os.path.join(work, "config.ini"), "w", newline="") as f:
        f.write("[OnScreenDisplay]\r\nDuration=30000\r\n")
    display = stage.start(osd)
    try:
        wait_for("the display's window", lambda: run_osd_probe(stage, args.probe, "post", str(DPI), "4")[0] == 0, 90)
        check("1600 DPI" == wait_for_osd_text(stage, args.probe, "1600"), "the DPI text")
        for left in (3, 2, 1):
            run_osd_probe(stage, args.probe, "post", str(COUNTDOWN), str(left))
        wait_for_osd_text(stage, args.probe, "Timer: 1 s")
        check(run_osd_probe(stage, args.probe, "close")[0] == 0, "WM_CLOSE posted")
        wait_for("the display to end", lambda: display.poll() is not None, 30)
        check(display.returncode == 0, "the display's exit code %s" % display.returncode)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        end_processes(display)
    print("on-screen display end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
