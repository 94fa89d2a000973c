"""What the end-to-end drivers share: Wine through scripts/wine-run, polling with deadlines, and reading
what the programs leave behind (config.ini, the virtual mouse's report log)."""
import os
import re
import shutil
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")


class Failure(Exception):
    pass


def wait_for(what, condition, timeout=30.0):
    """Polls condition until it gives something true, which is returned; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def check(condition, message):
    if not condition:
        raise Failure(message)


def tail(path, chars=3000):
    """The end of a file a failed run left (a report log, a debug output), for the failure report."""
    if not os.path.exists(path):
        return "(none)"
    with open(path, errors="replace") as f:
        return f.read()[-chars:]


def end_processes(*processes, grace=0):
    """Ends what a run left running: each process still alive gets `grace` seconds to end by itself, then is
    killed. None stands for a process the run never started."""
    for p in processes:
        if p is None or p.poll() is not None:
            continue
        try:
            p.wait(timeout=grace) if grace else p.kill()
        except subprocess.TimeoutExpired:
            p.kill()


class ProgramFolder:
    """A staged program folder; Windows programs run in it under Wine with the report log switched on."""

    def __init__(self, folder):
        self.dir = folder
        self.log = os.path.join(folder, "report.log")
        self.env = dict(os.environ, SARN_VIRTUAL_MOUSE_LOG=self.log)

    def start(self, exe, *args, env=None, output=None):
        return subprocess.Popen([WINE_RUN, exe, *args], cwd=self.dir, env=env or self.env,
                                stdout=output or subprocess.DEVNULL, stderr=subprocess.STDOUT)

    def run(self, exe, *args, timeout=60):
        p = subprocess.run([WINE_RUN, exe, *args], cwd=self.dir, env=self.env, capture_output=True, text=True,
                           timeout=timeout)
        return p.returncode, p.stdout.strip()

    def ini(self, key):
        """A key's value in config.ini (the first of that name), or None."""
        path = os.path.join(self.dir, "config.ini")
        if not os.path.exists(path):
            return None
        m = re.search(r"^%s=(.*?)\r?$" % re.escape(key), open(path, newline="", errors="replace").read(), re.M)
        return m.group(1) if m else None

    def reports(self):
        """The virtual mouse's report log as (operation, bytes) pairs of the exchanges that went through."""
        if not os.path.exists(self.log):
            return []
        result = []
        for line in open(self.log):
            parts = line.split()
            if len(parts) >= 4 and parts[2] == "ok":
                result.append((parts[1], [int(b, 16) for b in parts[3:]]))
        return result


class MonitorFolder(ProgramFolder):
    """A fresh program folder (a factory-fresh mouse) with the monitor, the virtual mouse's hidport.dll and
    sarnctl, and the on-screen display beside the monitor when the build has it (SARN_OSD_EXE, set by CMake),
    as an installed folder has it."""

    def __init__(self, work, monitor, hidport, sarnctl):
        super().__init__(os.path.abspath(work))
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.monitor = os.path.join(self.dir, "Sarn[+]Monitor.exe")
        shutil.copy(monitor, self.monitor)
        shutil.copy(hidport, os.path.join(self.dir, "hidport.dll"))
        self.sarnctl = os.path.join(self.dir, "sarnctl.exe")
        shutil.copy(sarnctl, self.sarnctl)
        osd = os.environ.get("SARN_OSD_EXE", "")
        if osd and os.path.isfile(osd):
            shutil.copy(osd, os.path.join(self.dir, "Sarn[+]OSD.exe"))


def run_osd_probe(folder, probe, *args, timeout=60):
    """Runs osd_probe in `folder` (a ProgramFolder); (exit code, what it printed). The output goes through a file,
    not a pipe: the first Wine program of a session starts Wine's own services, which keep a pipe open after
    the program ended."""
    out = os.path.join(folder.dir, "osd-probe.txt")
    with open(out, "w") as f:
        code = subprocess.run([WINE_RUN, probe, *args], cwd=folder.dir, env=folder.env, stdout=f,
                              stderr=subprocess.DEVNULL, timeout=timeout).returncode
    with open(out, encoding="utf-8", errors="replace") as f:
        return code, f.read().strip()


def wait_for_osd_text(folder, probe, text, timeout=5.0):
    """Waits until the on-screen display shows a text containing `text` (osd_probe, run in `folder`, a
    ProgramFolder); returns the whole shown text, or raises Failure with what it showed instead."""
    code, shown = run_osd_probe(folder, probe, "wait", text, str(int(timeout * 1000)), timeout=timeout + 60)
    if code != 0:
        raise Failure("the display did not show %r (it showed %r)" % (text, shown))
    return shown
