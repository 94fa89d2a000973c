#!/usr/bin/env bash
# mice_list_check.sh BUILD_DIR: the device list of a release names only the mice it is told, and the real
# hidport.dll carries no mouse id of its own.
#  1. a release-style list without --mouse is written, names no mouse (no test id 1209:0001) and warns loudly;
#  2. --mouse entries are written as given, malformed ones refused;
#  3. the built real hidport.dll holds the test id neither as bytes (vendor and product id side by side, as a
#     compiled-in pair or a merged comparison) nor as text.
set -uo pipefail
build="$(cd "${1:?usage: mice_list_check.sh BUILD_DIR}" && pwd)"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d /tmp/sarn-mice-list.XXXXXX)"
trap 'rm -rf "$work"' EXIT
fails=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi; }

"$root/scripts/mice-list" "$work/mice.ini" 2>"$work/warning"
check "without --mouse the list is written" '[ -s "$work/mice.ini" ]'
check "without --mouse it names no mouse" '! grep -q "^\[" "$work/mice.ini" && ! grep -qi "1209" "$work/mice.ini"'
check "without --mouse it warns loudly" 'grep -q "WARNING.*NO mouse" "$work/warning"'

"$root/scripts/mice-list" --mouse "ZORVAN Sarn,3a1f:102" --mouse "Pro,3A1F:0103,ff01:2" "$work/two.ini" 2>"$work/warning"
check "--mouse entries written as given" \
  '[ "$(grep -c "^\[" "$work/two.ini")" -eq 2 ] && grep -q "^VendorId=0x3A1F" "$work/two.ini" && grep -q "^UsagePage=0xFF01" "$work/two.ini"'
check "--mouse entries: no warning" '[ ! -s "$work/warning" ]'
for bad in "X,0:1" "X,10000:1" "X,1:10000" ",1:1" "X,1" "X,1:1,ff00" "X,1:1,0:1" "X,1:1,a,b"; do
  check "--mouse \"$bad\" refused" '! "$root/scripts/mice-list" --mouse "$bad" "$work/bad.ini" 2>/dev/null'
done

dll="$build/hidport/real/hidport.dll"
check "the real hidport.dll is built" '[ -f "$dll" ]'
check "the real hidport.dll holds no test id" "python3 - \"\$dll\" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
for pattern in (bytes([0x09, 0x12, 0x01, 0x00]), b'1209:0001', b'0x1209', '1209'.encode('utf-16-le')):
    if pattern in data:
        print('  found', pattern, 'at', hex(data.index(pattern)))
        sys.exit(1)
PY"
[ "$fails" -eq 0 ]
