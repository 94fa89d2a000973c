#!/usr/bin/env python3
"""End to end: a hung program does not freeze the monitor.

A helper program shows a window of Winamp's class under the cursor and sleeps inside its handler whenever it
is sent a command or a scroll step, as a hung program does. The monitor sends it a media command (a mouse
button assigned "next track" with Winamp chosen) and a tilt to the right; each time, while the helper still
sleeps, the next mouse event (a profile change, posted to the monitor like every mouse event) must be carried
out within a second. A thread blocked in a send still answers sends, so only something posted proves that the
window thread is free.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, end_processes, tail, wait_for  # noqa: E402

HANG_MS = 5000        # the helper's sleep: far past the monitor's limit for one send
POSTED_WITHIN = 1.0   # seconds from the mouse event to its effect in config.ini


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "block-apply", "peer", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = MonitorFolder(args.work, args.monitor, args.hidport, args.sarnctl)
    debug = os.path.join(stage.dir, "monitor-debug.txt")
    monitor = stage.start(stage.monitor, env=dict(stage.env, SARN_WINEDEBUG="+debugstr"), output=open(debug, "w"))
    peer = None

    def mouse(*command):
        rc, out = stage.run(stage.sarnctl, "mouse", *command)
        check(rc == 0, "sarnctl mouse %s: %s" % (" ".join(command), out))

    def marker(name):
        return os.path.exists(os.path.join(stage.dir, name))

    def posted_event_handled(profile):
        """Profile up on the mouse while the helper hangs; seconds until the monitor carried it out."""
        mouse("click", "4")
        start = time.monotonic()
        wait_for("CurrentProfile=%d" % profile, lambda: stage.ini("CurrentProfile") == str(profile), 30)
        return time.monotonic() - start

    try:
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        # B4 steps the profile up in profiles 1 and 2; B5 of profile 1 is "next track" for Winamp.
        rc, _ = stage.run(args.block_apply, "button=0,3,17", "button=1,3,17", "button=0,4,34", "media=0,3")
        check(rc == 0, "block_apply")
        peer = stage.start(args.peer, "hang", "Z:" + stage.dir.replace("/", "\\"), str(HANG_MS))
        wait_for("the helper's window", lambda: marker("ready") or peer.poll() is not None, 60)
        check(peer.poll() is None, "the helper ended (exit code %s)" % peer.returncode)

        # A media command to the hung player.
        mouse("click", "5")
        wait_for("the command at the helper", lambda: marker("command-1"), 30)
        took = posted_event_handled(1)
        check(took < POSTED_WITHIN, "a mouse event waited %.1f s behind a media command to a hung player" % took)
        check(not marker("command-1-done"), "the helper woke before the check: make HANG_MS longer")
        wait_for("the helper awake again", lambda: marker("command-1-done"), 30)

        # A tilt to the right over the hung window.
        mouse("tilt", "right")
        wait_for("the scroll step at the helper", lambda: marker("hscroll-2"), 30)
        took = posted_event_handled(2)
        check(took < POSTED_WITHIN, "a mouse event waited %.1f s behind a tilt over a hung window" % took)
        check(not marker("hscroll-2-done"), "the helper woke before the check: make HANG_MS longer")
        # One tilt is one unanswered send, not one per step: nothing more reaches the helper afterwards.
        wait_for("the helper awake again", lambda: marker("hscroll-2-done"), 30)
        time.sleep(0.5)
        check(not marker("hscroll-3"), "the monitor went on sending to the hung window")

        rc, _ = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- monitor debug output ---")
        print(tail(debug))
        return 1
    finally:
        open(os.path.join(stage.dir, "stop"), "w").close()
        end_processes(monitor, peer, grace=10)
    print("hung window end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
