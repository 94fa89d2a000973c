#!/usr/bin/env python3
"""The soak run: the monitor and the configuration window under Wine against the virtual mouse for a while,
with random events, while a probe inside Wine samples the programs' handles, threads and private memory.

Events: buttons of the mouse (profile, DPI and sensitivity cycles on B4, B6 and B7, plain buttons, the tilt),
unplug and plug, busy and failing or corrupted reports followed by an apply, edits applied with sarnctl (the
ApplyAll path the window uses too), and the configuration window opened, applied from (a slot chosen, Apply)
and closed. At the end: the monitor still runs and answers and then exits cleanly; every file is whole and
reads back through our own readers as it stands; the mouse's memory (live and kept) holds what the last
apply sent; handles, threads and private memory are flat after the first minute. Prints the figures and
exits 1 on any failure.
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import ROOT, WINE_RUN, Failure, ProgramFolder, check, wait_for  # noqa: E402

MONITOR_EXE, OPTION_EXE = "Sarn[+]Monitor.exe", "Sarn[+]Option.exe"
SLOT, APPLY = 120, 173  # the window's slot bar and its Apply button
MIB = 1024 * 1024
# How far the end of a run may lie above the first minute before it counts as growth. Momentary resources of
# an event in flight (a pipe connection, a file being replaced, a worker thread of an Apply) come and go within
# these; a leak of one handle or a few KiB per event does not stay within them over a few hundred events.
TOLERANCE = {"handles": lambda b: max(12, b * 0.05), "threads": lambda b: 2,
             "private": lambda b: max(2 * MIB, b * 0.05)}
JUDGED_FROM_SECONDS = 180  # shorter runs have no first minute to speak of: flatness is shown, not judged


class Soak(ProgramFolder):
    def __init__(self, args):
        super().__init__(os.path.abspath(args.work))
        self.build = os.path.abspath(args.build)
        self.probe = os.path.join(self.build, "tests", "stress", "soak_probe.exe")
        self.driver = os.path.join(self.build, "tests", "e2e", "option_driver.exe")
        self.counts = {}
        self.refused = {}
        self.first_refusal = {}
        self.window_open = False
        self.window_sessions = 0
        self.pictured = set()

    def stage(self):
        if os.path.isdir(self.dir):
            check(os.path.exists(os.path.join(self.dir, ".sarn-staged")), "%s was not staged before" % self.dir)
            shutil.rmtree(self.dir)
        env = dict(os.environ, SARN_STAGE_BUILD=self.build)
        subprocess.run([os.path.join(ROOT, "scripts", "stage-sim"), "--no-build", self.dir], env=env, check=True,
                       stdout=subprocess.DEVNULL, timeout=120)
        for exe in (self.probe, self.driver, os.path.join(self.dir, MONITOR_EXE), os.path.join(self.dir, OPTION_EXE)):
            check(os.path.exists(exe), "not built: %s" % exe)

    def run(self, exe, *args, timeout=60):
        """(exit code, output); a failure's output ends with what the program said on stderr."""
        p = subprocess.run([WINE_RUN, exe, *args], cwd=self.dir, env=self.env, capture_output=True, text=True,
                           timeout=timeout)
        out = p.stdout.strip()
        return p.returncode, out if p.returncode == 0 else (out + " " + p.stderr.strip()).strip()

    def ctl(self, *words, timeout=150):
        return self.run(os.path.join(self.dir, "sarnctl.exe"), *words, timeout=timeout)

    def ctl_ok(self, *words):
        rc, out = self.ctl(*words)
        check(rc == 0, "sarnctl %s: %s" % (" ".join(words), out))
        return out

    def count(self, kind, ok=True, why=""):
        self.counts[kind] = self.counts.get(kind, 0) + 1
        if not ok:
            self.refused[kind] = self.refused.get(kind, 0) + 1
            self.first_refusal.setdefault(kind, why[:160])
            if kind.startswith("window") and kind not in self.pictured and shutil.which("import"):
                # What was on the screen when a window event first failed, for the post-mortem.
                self.pictured.add(kind)
                subprocess.run(["import", "-window", "root", os.path.join(self.dir, "failed-%s.png" % kind.replace(" ", "-"))],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def mouse_state(self):
        return json.loads(self.ctl_ok("mouse", "state")[3:])

    def windows(self):
        try:
            rc, out = self.run(self.driver, "state", timeout=30)
        except subprocess.TimeoutExpired:
            return 0
        return json.loads(out).get("windows", 0) if rc == 0 and out else 0


def random_edit(rng, profile):
    """A device setting of one profile, as `sarnctl profile N set` takes it: the chosen DPI level switched on."""
    level, code = rng.choice([(0, 1), (1, 2), (2, 4), (3, 7)])  # the flag of a level and its Cpi code
    return ["profile", str(profile), "set", "dpi%d=1" % level, "Cpi_X=%d" % code, "Cpi_Y=%d" % code,
            "Sensitivity_X=%d" % rng.randint(1, 10), "Sensitivity_Y=%d" % rng.randint(1, 10)]


def event(soak, rng, monitor, kind=None):
    """One random event (or one of `kind`); the kinds are weighted so that the mouse is busy most of the time."""
    kinds = [("button", 30), ("tilt", 4), ("unplug-plug", 4), ("busy", 4), ("fail", 3), ("corrupt", 3),
             ("apply", 12), ("window", 3)]
    if soak.window_open:
        kinds += [("window-apply", 4)]
    kind = kind or rng.choices([k for k, _ in kinds], [w for _, w in kinds])[0]
    if kind == "button":
        # B4, B6, B7: profile, DPI and sensitivity cycles (seeded into the mouse); B3, B8, B9: plain functions.
        button = rng.choice([4, 4, 6, 6, 7, 7, 3, 8, 9])
        rc, out = soak.ctl("mouse", "click", str(button))
        soak.count("button B%d" % button, rc == 0, out)
    elif kind == "tilt":
        rc, out = soak.ctl("mouse", "tilt", rng.choice(["left", "right"]))
        soak.count(kind, rc == 0, out)
    elif kind == "unplug-plug":
        # The monitor closes the configuration window when the mouse it has open goes away. A mouse that came
        # back less than 5 s ago is not open yet (the monitor gives it that long), so its going changes nothing.
        had_mouse = soak.window_open and soak.ini("Device") == "1"
        rc, out = soak.ctl("mouse", "unplug")
        seen = had_mouse and wait_quietly(lambda: soak.ini("Device") == "0", 10)
        time.sleep(rng.uniform(0.2, 2.0))
        rc2, out2 = soak.ctl("mouse", "plug")
        soak.count(kind, rc == 0 and rc2 == 0, out + " / " + out2)
        if had_mouse:
            ok = seen and wait_quietly(lambda: soak.windows() == 0, 30)
            soak.window_open = not ok and soak.windows() > 0
            soak.count("window closed by the unplug", ok, "" if ok else "the monitor saw the unplug: %s, %d windows "
                       "30 s after it" % (seen, soak.windows()))
        elif soak.window_open:
            soak.count("window kept (mouse not open yet)")
    elif kind in ("busy", "fail", "corrupt"):
        # The next exchanges are slow, fail or come back damaged; an apply then meets them.
        words = ["busy", str(rng.randint(1, 6))] if kind == "busy" else [kind]
        rc, out = soak.ctl("mouse", *words)
        soak.count(kind, rc == 0, out)
        rc, out = soak.ctl(*random_edit(rng, rng.randint(1, 5)))
        rc2, out2 = soak.ctl("apply")
        soak.count("apply after " + kind, rc == 0 and rc2 == 0, out + " / " + out2)
    elif kind == "apply":
        rc, out = soak.ctl(*random_edit(rng, rng.randint(1, 5)))
        rc2, out2 = soak.ctl("apply")
        soak.count(kind, rc == 0 and rc2 == 0, out + " / " + out2)
    elif kind == "window":
        if soak.window_open:
            rc, out = soak.run(soak.driver, "close", timeout=30)
            ok = rc == 0 and wait_quietly(lambda: soak.windows() == 0, 60)
            soak.window_open = not ok
            soak.count("window close", ok, "" if ok else "close: exit code %d %s, %d windows after 60 s"
                       % (rc, out, soak.windows()))
        else:
            rc, out = soak.ctl("monitor", "configure")
            ok = rc == 0 and wait_quietly(lambda: soak.windows() >= 1, 90)
            soak.window_open = ok
            soak.window_sessions += 1 if ok else 0
            soak.count("window open", ok, "configure: exit code %d %s" % (rc, out))
    elif kind == "window-apply":
        rc, out = soak.run(soak.driver, "click", str(SLOT + rng.randint(0, 4)), timeout=30)
        rc2, out2 = soak.run(soak.driver, "click", str(APPLY), timeout=30)
        soak.count(kind, rc == 0 and rc2 == 0, "slot click: exit code %d %s, Apply click: exit code %d %s"
                   % (rc, out, rc2, out2))
    check(monitor.poll() is None, "the monitor ended (exit code %s) after a %s event" % (monitor.returncode, kind))


def wait_quietly(condition, timeout):
    try:
        wait_for("", condition, timeout)
        return True
    except Failure:
        return False


def read_samples(path):
    """Sample lines by program: {exe: [(seconds, pid, handles, threads, private)]}, and the probe's note of
    where its figures come from."""
    samples, sources = {}, ""
    if not os.path.exists(path):
        return samples, sources
    for line in open(path, errors="replace"):
        if line.startswith("# "):
            sources = line[2:].strip()
        parts = line.split()
        if len(parts) == 6 and parts[0].isdigit():
            samples.setdefault(parts[1], []).append(
                (int(parts[0]) / 1000.0, int(parts[2]), int(parts[3]), int(parts[4]), int(parts[5])))
    return samples, sources


def figures(rows, warmup, end_window):
    """First-minute value (the highest in the 30 s after the warm-up), end value (the median of the last
    `end_window` seconds), and the highest after the warm-up, per resource."""
    result = {}
    if not rows:
        return result
    t_end = rows[-1][0]
    for i, name in ((2, "handles"), (3, "threads"), (4, "private")):
        after = [r[i] for r in rows if r[0] >= warmup] or [r[i] for r in rows]
        first = [r[i] for r in rows if warmup <= r[0] < warmup + 30] or after[:1]
        last = [r[i] for r in rows if r[0] >= t_end - end_window] or after[-1:]
        result[name] = (max(first), statistics.median(last), max(after))
    return result


def show(value, name):
    return "%.1f MiB" % (value / MIB) if name == "private" else "%g" % value


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="the mingw build folder")
    parser.add_argument("--work", required=True, help="the program folder to stage and run in")
    parser.add_argument("--minutes", type=float, default=20)
    parser.add_argument("--seconds", type=float, help="instead of --minutes")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--sample-ms", type=int, default=None, help="between two samples (1000, runs of 5 minutes "
                        "or more 5000)")
    args = parser.parse_args()
    duration = args.seconds if args.seconds is not None else args.minutes * 60
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    soak = Soak(args)
    soak.stage()
    samples_path = os.path.join(soak.dir, "samples.txt")
    stop_file = os.path.join(soak.dir, "stop-sampling")
    monitor = sampler = None
    failures = []
    verdict = None
    started = time.monotonic()
    try:
        soak.run(os.path.join(soak.dir, "sarnctl.exe"), "--help", timeout=180)  # Wine's server and desktop first
        rc, out = soak.run(soak.probe, "seed", ".")
        check(rc == 0, "seeding the macro store and timer list: %s" % out)
        # The monitor's trace lines (OutputDebugStringA) are kept for a failure's post-mortem.
        monitor = soak.start(os.path.join(soak.dir, MONITOR_EXE), env=dict(soak.env, SARN_WINEDEBUG="+debugstr"),
                             output=open(os.path.join(soak.dir, "monitor-debug.txt"), "w"))
        wait_for("the monitor to read the mouse", lambda: soak.ini("FWVersion") == "128" and soak.ini("Device") == "1",
                 120)
        interval = args.sample_ms or (1000 if duration < 300 else 5000)
        sampler = subprocess.Popen([WINE_RUN, soak.probe, "sample", str(interval), "stop-sampling"], cwd=soak.dir,
                                   env=soak.env, stdout=open(samples_path, "w"), stderr=subprocess.DEVNULL)
        started = time.monotonic()
        print("soak: seed %d, %g s, in %s" % (seed, duration, soak.dir), flush=True)
        next_note = 60
        first = ["window", "window-apply", "apply", "button"]  # so that even a short run has each path once
        while time.monotonic() - started < duration:
            event(soak, rng, monitor, first.pop(0) if first else None)
            time.sleep(rng.uniform(0.05, 0.5))
            if time.monotonic() - started >= next_note:
                print("soak: %d s, %d events" % (next_note, sum(soak.counts.values())), flush=True)
                next_note += 60
        ran = time.monotonic() - started

        # Quiet again: the window closed, the mouse plugged in and answering; then a last apply of every profile
        # that the mouse must hold afterwards.
        if soak.window_open:
            soak.run(soak.driver, "close", timeout=30)
            wait_for("the window to close", lambda: soak.windows() == 0, 60)
        soak.ctl_ok("mouse", "plug")
        soak.ctl_ok("mouse", "busy", "0")
        wait_for("the monitor to have the mouse", lambda: soak.ini("Device") == "1", 60)
        applied = {}
        for profile in range(1, 6):
            edit = random_edit(rng, profile)
            soak.ctl_ok(*edit)
            applied[profile] = {w.split("=")[0]: int(w.split("=")[1]) for w in edit[3:] if not w.startswith("dpi")}
        out = wait_for("the last apply", lambda: (lambda r: r[1] if r[0] == 0 else None)(soak.ctl("apply")), 120)
        soak.count("apply (last)")
        print("soak: last apply sent %s" % out, flush=True)
        time.sleep(3)  # a last sample of the quiet programs
        open(stop_file, "w").close()
        sampler.wait(timeout=60)

        # The monitor still runs and answers; the mouse holds what was applied.
        if monitor.poll() is not None:
            failures.append("the monitor ended (exit code %s)" % monitor.returncode)
        rc, out = soak.ctl("monitor", "show")
        if rc != 0:
            failures.append("the monitor did not answer: %s" % out[:200])
        live = soak.mouse_state()["profiles"]
        for profile, fields in applied.items():
            for key, value in fields.items():
                if live[profile - 1][key] != value:
                    failures.append("the mouse holds %s=%s in profile %d, the last apply sent %s"
                                    % (key, live[profile - 1][key], profile, value))
        rc, _ = soak.ctl("monitor", "exit")
        if rc != 0 or not wait_quietly(lambda: monitor.poll() is not None, 60) or monitor.returncode != 0:
            failures.append("the monitor did not exit cleanly (%s)" % monitor.poll())
        rc, out = soak.run(soak.probe, "check", ".")
        verdict = json.loads(out) if out.startswith("{") else None
        if verdict is None:
            failures.append("the folder check gave no verdict: %s" % out[:200])
        else:
            failures += ["%s: %s" % (f["file"], f["problem"]) for f in verdict["files"] if f["problem"]]
            failures += ["mouse memory: %s" % m for m in verdict["memory"]]
        # The mouse may refuse an exchange (that is what busy, fail and corrupt are for); the window may not.
        failures += ["%s failed %d times, first: %s" % (kind, n, soak.first_refusal[kind])
                     for kind, n in sorted(soak.refused.items()) if kind.startswith("window")]
    except (Failure, subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
        failures.append(str(e))
        ran = time.monotonic() - started
    finally:
        open(stop_file, "w").close()
        for p in (monitor, sampler):
            if p is not None and p.poll() is None:
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()

    # The figures.
    samples, sources = read_samples(samples_path)
    warmup = 60 if duration >= JUDGED_FROM_SECONDS else min(5, duration / 4)
    judged = duration >= JUDGED_FROM_SECONDS
    print()
    print("soak: %.0f s of events (seed %d), %d samples (%s)"
          % (ran, seed, sum(len(v) for v in samples.values()), sources or "no sample"))
    print("%-28s %12s %12s %12s %10s  %s" % ("resource", "first minute", "end", "max", "tolerance", "verdict"))
    for exe, label in ((MONITOR_EXE, "monitor"), (OPTION_EXE, "window")):
        rows = samples.get(exe, [])
        if exe == OPTION_EXE:
            # Each window is a process of its own: its first and last session, each at its highest.
            pids = list(dict.fromkeys(r[1] for r in rows))
            if len(pids) < 1:
                print("%-28s (no window session was sampled)" % label)
                continue
            first = [r for r in rows if r[1] == pids[0]]
            last = [r for r in rows if r[1] == pids[-1]]
            label = "window (%d sessions)" % len(pids)
            f = {n: (max(r[i] for r in first), max(r[i] for r in last), max(r[i] for r in rows))
                 for i, n in ((2, "handles"), (3, "threads"), (4, "private"))}
            window_judged = judged and len(pids) >= 2
        else:
            if not rows:
                failures.append("no sample of the monitor")
                continue
            f = figures(rows, warmup, 30)
            window_judged = judged
        for name, (first, end, high) in f.items():
            tolerance = TOLERANCE[name](first)
            flat = end <= first + tolerance
            if window_judged and not flat:
                failures.append("%s %s grew: %s after the first minute, %s at the end"
                                % (label, name, show(first, name), show(end, name)))
            verdict_text = ("flat" if flat else "GREW") if window_judged else "not judged"
            print("%-28s %12s %12s %12s %10s  %s" % ("%s %s" % (label, name), show(first, name), show(end, name),
                                                    show(high, name), "+" + show(tolerance, name), verdict_text))
    print()
    print("events sent:")
    for kind in sorted(soak.counts):
        refused = soak.refused.get(kind, 0)
        print("  %-32s %6d%s" % (kind, soak.counts[kind], "  (%d refused or failed, first: %s)"
                                 % (refused, soak.first_refusal[kind]) if refused else ""))
    print("  %-32s %6d" % ("total", sum(soak.counts.values())))
    print("  window sessions                  %6d" % soak.window_sessions)
    if verdict is not None:
        print("files checked:")
        for f in verdict["files"]:
            print("  %-28s %s" % (f["file"], f["problem"] or "whole, reads back as it stands"))
        print("mouse memory: %s" % ("as last applied" if not verdict["memory"] else "; ".join(verdict["memory"])))
    print()
    for failure in failures:
        print("FAILED: %s" % failure)
    print("soak: %s" % ("passed" if not failures else "FAILED"))
    return 0 if not failures else 1


if __name__ == "__main__":
    sys.exit(main())
