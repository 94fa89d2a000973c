#!/usr/bin/env python3
"""End to end: Sarn[+]Monitor.exe under Wine against the virtual mouse.

Stages a fresh program folder (a factory-fresh mouse), starts the monitor and checks, through the virtual
mouse's report log, config.ini, the shared block (sarnctl monitor show) and the monitor's debug output:
the full read at start, a profile change made on the mouse, ApplyAll sending exactly what the flags name,
the hand-over of a second start with "1", unplug and plug, and Exit; then a start refused by a running monitor, an
Apply that lands in the middle of a full read, the tray icon after a taskbar restart, the end of the session, and
a monitor started after a crash while a configuration window kept the shared block.
Every wait polls for its condition with a deadline; nothing sleeps and hopes.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, MonitorFolder, check, end_processes, tail, wait_for  # noqa: E402


class Stage(MonitorFolder):
    def __init__(self, args):
        super().__init__(args.work, args.monitor, args.hidport, args.sarnctl)
        self.block_apply = args.block_apply
        self.peer = args.peer
        if os.path.isdir(args.sounds):
            shutil.copytree(args.sounds, os.path.join(self.dir, "Wave"))
        self.debug = os.path.join(self.dir, "monitor-debug.txt")

    def start_monitor(self, *args, debug_file=None):
        # The monitor's trace lines (OutputDebugStringA) come out through Wine's debug channel.
        return self.start(self.monitor, *args, env=dict(self.env, SARN_WINEDEBUG="+debugstr"),
                          output=open(debug_file or self.debug, "w"))

    def mouse(self, *command):
        rc, out = self.run(self.sarnctl, "mouse", *command)
        if rc != 0:
            raise Failure("sarnctl mouse %s: %s" % (" ".join(command), out))
        return out

    def debug_text(self):
        return open(self.debug, errors="replace").read() if os.path.exists(self.debug) else ""

    def block(self):
        rc, out = self.run(self.sarnctl, "monitor", "show")
        return json.loads(out) if rc == 0 else None


def token(op, data):
    """A report as the test names it: SET07:slot, GET06, ... (ready polls are GET04)."""
    if data[0] == 4 and op == "SET":
        return "SET04:%d:%02X" % (data[1], data[2])
    return "%s%02X" % (op, data[0])


def without_polls(reports):
    return [(op, d) for op, d in reports if not (op == "GET" and d[0] == 4)]


def main():
    parser = argparse.ArgumentParser()
    for name in ("monitor", "hidport", "sarnctl", "block-apply", "peer", "sounds", "work"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    stage = Stage(args)
    monitor = stage.start_monitor()
    second = peer = third = keeper = fourth = fifth = None
    try:
        # 1. Start-up: version, active profile, five selects and reads of 6, five of 7, then host mode on.
        wait_for("host mode on", lambda: any(op == "SET" and d[:3] == [0x0A, 3, 1] for op, d in stage.reports()), 90)
        seen = [token(op, d) for op, d in without_polls(stage.reports())]
        expected = ["GET09", "GET05"]
        expected += sum((["SET04:%d:10" % i, "GET06"] for i in range(5)), [])
        expected += sum((["SET04:%d:20" % i, "GET07"] for i in range(5)), [])
        expected += ["SET0A"]
        check(seen == expected, "start-up reports: %s" % seen)
        wait_for("config.ini written", lambda: stage.ini("FWVersion") == "128" and stage.ini("Device") == "1")
        # The window thread takes the reading over after the DeviceThread handed it on: the files follow.
        for i in range(5):
            wait_for("slot file %d" % i, lambda: os.path.exists(os.path.join(stage.dir, "config", "Default%d.zmp" % i)))
        block = wait_for("the shared block", stage.block)
        check(block["CurrentProfile"] == 0, "block CurrentProfile %s" % block["CurrentProfile"])
        check(block["profiles"][2]["ProFileName"] == "Default3", "block profile names")

        # 2. ApplyAll sends exactly what the flags name: B4 of profile 1 becomes "profile up" -> report 7 for
        #    slot 0 only; the sound options -> report 5 only.
        before = len(stage.reports())
        rc, _ = stage.run(stage.block_apply, "button=0,3,17")
        check(rc == 0, "block_apply button")
        sent = [token(op, d) for op, d in without_polls(stage.reports()[before:])]
        check(sent == ["SET07"], "ApplyAll with one button changed sent %s" % sent)
        check(without_polls(stage.reports()[before:])[0][1][2] == 0, "report 7 names slot 0")
        before = len(stage.reports())
        rc, _ = stage.run(stage.block_apply, "sound=1")
        check(rc == 0, "block_apply sound")
        sent = [token(op, d) for op, d in without_polls(stage.reports()[before:])]
        check(sent == ["SET05"], "ApplyAll with sound options changed sent %s" % sent)
        before = len(stage.reports())
        rc, _ = stage.run(stage.block_apply)
        sent = [token(op, d) for op, d in without_polls(stage.reports()[before:])]
        check(rc == 0 and sent == [], "ApplyAll with nothing changed sent %s" % sent)

        # 3. A profile button on the mouse: config.ini, the block and the cue follow; nothing goes to the mouse.
        before = len(stage.reports())
        stage.mouse("click", "4")
        wait_for("CurrentProfile=1 in config.ini", lambda: stage.ini("CurrentProfile") == "1")
        wait_for("block CurrentProfile 1", lambda: (stage.block() or {}).get("CurrentProfile") == 1)
        wait_for("the profile cue", lambda: "Volume-" in stage.debug_text() and "profile_two.wav" in stage.debug_text())
        check(stage.reports()[before:] == [], "a profile change on the mouse wrote to it")

        # 4. A second start with "1" hands the request over and ends.
        second = stage.start_monitor("1", debug_file=os.path.join(stage.dir, "second-debug.txt"))
        check(second.wait(timeout=60) == 0, "second monitor exit code")
        wait_for("the hand-over", lambda: "CMonitorWnd OnCustomizer" in stage.debug_text())
        check(monitor.poll() is None, "the first monitor ended")

        # 5. Unplug and plug are followed.
        stage.mouse("unplug")
        wait_for("Device=0", lambda: stage.ini("Device") == "0")
        host_mode = lambda: [d[2] for op, d in stage.reports() if op == "SET" and d[0] == 0x0A]
        host_mode_before = len(host_mode())
        stage.mouse("plug")
        wait_for("Device=1", lambda: stage.ini("Device") == "1", 30)
        wait_for("a new full read ending in host mode on", lambda: host_mode()[host_mode_before:] == [1], 60)
        # A button works after the plug: B4 of the active slot 2 becomes "profile up" (report 7 through the
        # channel opened again), and its click switches to slot 3.
        before = len(stage.reports())
        rc, _ = stage.run(stage.block_apply, "button=1,3,17")
        check(rc == 0 and [token(op, d) for op, d in without_polls(stage.reports()[before:])] == ["SET07"],
              "ApplyAll after the plug sent %s" % without_polls(stage.reports()[before:]))
        stage.mouse("click", "4")
        wait_for("CurrentProfile=2 in config.ini", lambda: stage.ini("CurrentProfile") == "2")

        # 6. Exit: host mode off, the block removed, the program ends.
        rc, _ = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit")
        wait_for("the monitor to end", lambda: monitor.poll() is not None, 60)
        check(monitor.returncode == 0, "monitor exit code %s" % monitor.returncode)
        check(host_mode()[-1] == 0, "host mode off")
        rc, _ = stage.run(stage.sarnctl, "monitor", "show")
        check(rc != 0, "the block outlived the monitor")

        # 7. A start refused by a running monitor (the owner of the instance mutex, here the peer) ends without
        #    touching the windows around it or the mouse.
        peer_out = os.path.join(stage.dir, "peer.txt")
        peer = stage.start(stage.peer, "hold", "peer-ready", "peer-stop", output=open(peer_out, "w"))
        wait_for("the peer's windows", lambda: os.path.exists(os.path.join(stage.dir, "peer-ready")), 60)
        before = len(stage.reports())
        refused = stage.start_monitor(debug_file=os.path.join(stage.dir, "refused-debug.txt"))
        check(refused.wait(timeout=60) == 0, "refused monitor exit code")
        open(os.path.join(stage.dir, "peer-stop"), "w").close()
        check(peer.wait(timeout=60) == 0, "the refused monitor closed a window: %s" % open(peer_out).read())
        check(stage.reports()[before:] == [], "the refused monitor talked to the mouse")

        # 8. An Apply in the middle of the start-up read, after the settings reads: the reading is older than
        #    the applied copy (it holds profile 2's sensitivity from before the Apply), so it is not taken over
        #    and the mouse is read again. The slot files disagree with the mouse (Sensitivity_X 9 against its
        #    5): a read mixed with the applied copy would publish 9s, a stale reading taken over would lose the
        #    applied 7.
        for i in range(1, 5):
            path = os.path.join(stage.dir, "config", "Default%d.zmp" % i)
            text = open(path, newline="").read()
            check("Sensitivity_X=5" in text, "slot file %d sensitivity" % i)
            open(path, "w", newline="").write(text.replace("Sensitivity_X=5", "Sensitivity_X=9"))
        settings_reads = sum(1 for op, d in stage.reports() if op == "GET" and d[0] == 6)
        host_mode_before = len(host_mode())
        stage.debug = os.path.join(stage.dir, "third-debug.txt")
        third = stage.start_monitor()
        rc, _ = stage.run(stage.block_apply, "wait-reads=%d" % (settings_reads + 5), "button=0,4,17", "sens=1,7",
                          timeout=180)
        check(rc == 0, "block_apply during the read")
        wait_for("the read again", lambda: host_mode()[host_mode_before:] == [1, 1], 90)
        check("reading the mouse again" in stage.debug_text(), "the read overtaken by the Apply was taken over")
        block = wait_for("the block after the second read",
                         lambda: (lambda b: b if b and b["profiles"][2]["Sensitivity_X"] != 9 else None)(stage.block()),
                         30)
        check([p["Sensitivity_X"] for p in block["profiles"]] == [5, 7, 5, 5, 5],
              "block sensitivities %s" % [p["Sensitivity_X"] for p in block["profiles"]])
        check(block["profiles"][0]["buttons"][4]["functionCode"] == 17, "the applied button")
        wait_for("slot files from the mouse", lambda: "Sensitivity_X=5" in open(
            os.path.join(stage.dir, "config", "Default2.zmp"), newline="").read())

        # 9. A restarted taskbar gets the tray icon again.
        added = stage.debug_text().count("CMonitorWnd tray icon ")
        rc, _ = stage.run(stage.peer, "taskbar-created")
        check(rc == 0, "TaskbarCreated posted")
        wait_for("the tray icon again", lambda: stage.debug_text().count("CMonitorWnd tray icon ") > added)

        # 10. Log-off: the query is answered yes at once and the end hands the mouse back (host mode off)
        #     before the answer, since Windows ends the process without WM_DESTROY. The WM_DESTROY that comes
        #     later here (Wine does not end the process) does not shut down a second time.
        host_mode_before = len(host_mode())
        rc, out = stage.run(stage.peer, "end-session")
        check(rc == 0, "end of session: %s" % out)
        check(host_mode()[host_mode_before:] == [0], "host mode at the end of the session: %s"
              % host_mode()[host_mode_before:])
        print("end of session: %s" % out)
        rc, _ = stage.run(stage.peer, "close")
        check(rc == 0, "WM_CLOSE posted")
        wait_for("the third monitor to end", lambda: third.poll() is not None, 60)
        check(host_mode()[host_mode_before:] == [0], "host mode after WM_DESTROY: %s" % host_mode()[host_mode_before:])

        # 11. A monitor killed while a configuration window keeps the shared block (and a handle to the instance
        #     mutex, which the killed monitor leaves abandoned): the next monitor takes the block over and runs
        #     (its window, its tray icon, a full read of the mouse).
        stage.debug = os.path.join(stage.dir, "fourth-debug.txt")
        host_mode_before = len(host_mode())
        fourth = stage.start_monitor()
        wait_for("the fourth monitor's read", lambda: host_mode()[host_mode_before:] == [1], 90)
        keeper = stage.start(stage.peer, "keep-block", "keeper-ready", "keeper-stop")
        wait_for("the block kept", lambda: os.path.exists(os.path.join(stage.dir, "keeper-ready")), 60)
        rc, _ = stage.run(stage.peer, "kill-monitor")
        check(rc == 0, "the monitor killed")
        wait_for("the fourth monitor to end", lambda: fourth.poll() is not None, 30)
        check(keeper.poll() is None, "the block keeper ended")
        stage.debug = os.path.join(stage.dir, "fifth-debug.txt")
        host_mode_before = len(host_mode())
        fifth = stage.start_monitor()
        wait_for("the fifth monitor's read", lambda: host_mode()[host_mode_before:] == [1], 90)
        check(fifth.poll() is None, "the monitor after the crash ended")
        check("took over the shared block" in stage.debug_text(), "no take-over in the debug output")
        check("CMonitorWnd tray icon added" in stage.debug_text(), "no tray icon after the crash")
        block = wait_for("the block after the take-over", stage.block)
        check(block["profiles"][0]["buttons"][4]["functionCode"] == 17, "the block after the take-over")
        open(os.path.join(stage.dir, "keeper-stop"), "w").close()
        check(keeper.wait(timeout=60) == 0, "the block keeper")
        rc, _ = stage.run(stage.sarnctl, "monitor", "exit")
        check(rc == 0, "sarnctl monitor exit (fifth)")
        wait_for("the fifth monitor to end", lambda: fifth.poll() is not None, 60)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAILED: %s" % e)
        print("--- report log ---")
        print(tail(stage.log))
        print("--- monitor debug output ---")
        print(stage.debug_text()[-3000:])
        return 1
    finally:
        end_processes(monitor, second, peer, third, keeper, fourth, fifth)
    print("monitor end to end: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
