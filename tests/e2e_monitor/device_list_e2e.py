#!/usr/bin/env python3
"""Under Wine: `sarnctl device list` against the system's HID enumeration (whatever Wine shows, often nothing)
exits 0 with a sane table or "none"; `device add` writes mice.user.ini beside sarnctl, replaces an entry with
the same ids, refuses ids out of range, and `device list` then shows the entry as listed."""
import argparse
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from e2e_support import Failure, ProgramFolder, check  # noqa: E402

ROW = re.compile(r"^  [0-9A-F]{4}:[0-9A-F]{4}  [0-9A-F]{4}:[0-9A-F]{4} +-?\d+ +-?\d+  "
                 r"(not in the device list|in the device list .*|chosen: .*)$")


def collections(out):
    """The verdict rows of the HID table; fails on anything that is neither the table nor "none"."""
    lines = out.splitlines()
    start = [i for i, line in enumerate(lines) if line.startswith("HID collections")]
    check(len(start) == 1, "no HID collections section:\n" + out)
    head = lines[start[0]]
    if "none" in head:
        check(start[0] == len(lines) - 1, "rows after 'none':\n" + out)
        return []
    rows = lines[start[0] + 2::2]
    for row in rows:
        check(ROW.match(row), "malformed row %r in:\n%s" % (row, out))
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sarnctl", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    folder = ProgramFolder(os.path.abspath(args.work))
    sarnctl = os.path.join(folder.dir, "sarnctl.exe")
    shutil.copy(args.sarnctl, sarnctl)

    rc, out = folder.run(sarnctl, "device", "list", timeout=120)
    check(rc == 0, "device list failed (%d):\n%s" % (rc, out))
    check("(no mice: nothing is taken for the mouse)" in out, "an empty list not said:\n" + out)
    before = collections(out)
    print("Wine shows %d HID collections" % len(before))

    rc, out = folder.run(sarnctl, "device", "add", "10000:1")
    check(rc != 0 and not os.path.exists(os.path.join(folder.dir, "mice.user.ini")), "an id out of range written")
    for name in ("First", "Test mouse"):
        rc, out = folder.run(sarnctl, "device", "add", "3a1f:0102", "--name", name, "--usage-page", "ff01",
                             "--usage", "2")
        check(rc == 0, "device add failed (%d): %s" % (rc, out))
    text = open(os.path.join(folder.dir, "mice.user.ini"), newline="").read()
    check(text.count("VendorId=") == 1 and "Name=Test mouse\r\n" in text, "not one replaced entry:\n" + text)

    rc, out = folder.run(sarnctl, "device", "list", timeout=120)
    check(rc == 0, "device list failed after add (%d):\n%s" % (rc, out))
    check(re.search(r"^  3A1F:0102  usage FF01:02 .* Test mouse  \(mice\.user\.ini \[3A1F:0102\]\)$", out, re.M),
          "the added entry is not listed:\n" + out)
    check(len(collections(out)) == len(before), "the collections changed:\n" + out)
    print("ok")


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        print("FAIL", e)
        sys.exit(1)
