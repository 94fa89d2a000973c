#!/usr/bin/env bash
# release_test.sh BUILD_DIR: the installer made by scripts/release, under Wine in a fresh prefix of its own:
#  1. every language library holds every string number of the English one (read back from the built DLLs);
#  2. a silent install lays out the program folder (real hidport.dll, 17 help libraries, no config.ini),
#     the Start-menu entries and the Run key;
#  3. the monitor, started from the Run key as a session starts it, reads the virtual mouse staged by the test;
#  4. an upgrade over the running monitor and a sarnctl following it ends both and keeps config.ini, the slot
#     files, the macro store and the timer list byte for byte; a second one, with the configuration window
#     open on its own, closes that window before it replaces the programs;
#  5. a silent uninstall removes programs, shortcuts and the Run key and keeps the settings;
#  With the on-screen display in the tree (osd/), it is shipped, started by the monitor, ended by each upgrade,
#  replaced, and removed by uninstall.
#  6. install into a folder holding the user's own files (as Wine's elevated token: the monitor is not started)
#     and uninstall with /REMOVESETTINGS: only ours go.
set -uo pipefail
build="$(cd "${1:?usage: release_test.sh BUILD_DIR}" && pwd)"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d /tmp/sarn-release-test.XXXXXX)"
export SARN_WINEPREFIX="$work/prefix"
source "$root/scripts/lib.sh"
fails=0
check() { if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; fails=$((fails + 1)); fi; }
finish() { sarn_stop_wine; sarn_stop_display; rm -rf "$work"; }
trap finish EXIT

# 1. The language table, from the DLLs themselves.
numbers() { x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n 's/^ *\([0-9]\{4,\}\),.*/\1/p' | sort -u; }
english=$(numbers "$build/stage/help/English_help.dll")
check "English library holds its strings" '[ "$(wc -l <<<"$english")" -ge 50 ]'
for rc in "$root"/help/*_help.rc; do
  lang=$(basename "$rc" _help.rc)
  dll="$build/stage/help/${lang}_help.dll"
  check "$lang library holds every string number" '[ -f "$dll" ] && [ -z "$(comm -23 <(echo "$english") <(numbers "$dll"))" ]'
done
check "17 language libraries" '[ "$(ls "$build"/stage/help/*_help.dll | wc -l)" -eq 17 ]'

# 2. Silent install into a fresh prefix.
SARN_RELEASE_BUILD="$build" "$root/scripts/release" --support-url https://support.example.org/form \
  --update-url https://example.org/download/ --mail support@example.org "$work/out" >"$work/release.log" 2>&1 ||
  { cat "$work/release.log"; exit 1; }
installer=$(ls "$work"/out/Sarn-Setup-*.exe)
zip_file=$(ls "$work"/out/Sarn-*.zip)
check "a release without --mouse ships a device list naming no mouse, and says so" \
  '[ -f "$work"/out/Sarn-*/mice.ini ] && ! grep -q "^\[" "$work"/out/Sarn-*/mice.ini && grep -q "NO mouse" "$work/release.log"'
check "zip holds no virtual mouse and no settings" \
  '! unzip -l "$zip_file" | grep -Eqi "config\.ini|/config/|virtual|_test"'
with_osd=0
[ -f "$root/osd/CMakeLists.txt" ] && with_osd=1
# A display of this test's prefix (other prefixes on the machine may run one). No grep -q at the end of a pipe:
# pipefail would count the listing it cut short as a failure.
osd_runs() {
  local pid
  for pid in $(pgrep -f 'Sarn\[\+\]OSD\.exe'); do
    [ -n "$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -x "WINEPREFIX=$WINEPREFIX")" ] && return 0
  done
  return 1
}
if [ "$with_osd" -eq 1 ]; then
  # Captured first: grep -q would end the listing early, which pipefail counts as a failure.
  check "zip holds the on-screen display" '[ -n "$(unzip -Z1 "$zip_file" | grep -F "Sarn[+]OSD.exe")" ]'
fi
sarn_ensure_display || exit 1
sarn_wine_env
"$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1
appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
folder="$(winepath -u "$appdata\\Programs\\Sarn[+]" 2>/dev/null)"
startmenu="$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\ZORVAN Sarn[+]" 2>/dev/null)"
runkey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
wine "$installer" /S /NOSTART >/dev/null 2>&1
check "installed programs" '[ -f "$folder/Sarn[+]Monitor.exe" ] && [ -f "$folder/Sarn[+]Option.exe" ] && [ -f "$folder/uninstall.exe" ]'
check "installed the real hidport.dll" 'cmp -s "$folder/hidport.dll" "$build/hidport/real/hidport.dll"'
[ "$with_osd" -eq 0 ] || check "installed the on-screen display" '[ -f "$folder/Sarn[+]OSD.exe" ]'
check "installed 17 help libraries" '[ "$(ls "$folder"/help/*_help.dll | wc -l)" -eq 17 ]'
links=$'[Links]\nSupport=https://support.example.org/form\nUpdate=https://example.org/download/\nMail=support@example.org'
check "installed the support addresses and the manual" \
  '[ "$(tr -d "\r" <"$folder/links.ini")" = "$links" ] && [ -f "$folder/README.txt" ]'
check "no settings shipped" '[ ! -e "$folder/config.ini" ] && [ ! -e "$folder/config" ]'
check "Start-menu entries" '[ -f "$startmenu/ZORVAN Sarn[+] configuration.lnk" ] && [ -f "$startmenu/Uninstall ZORVAN Sarn[+].lnk" ]'
run=$(wine reg query "$runkey" /v 'Sarn[+]Monitor' 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check "Run key names the installed monitor" '[[ "$run" == *'"'"'Sarn[+]Monitor.exe"'"'"' ]]'

# 3. As a session: the command line of the Run key, with the virtual mouse staged in place of the real one.
cp "$build/hidport/virtual/hidport.dll" "$folder/hidport.dll"
exe=$(sed 's/^"\([^"]*\)".*/\1/' <<<"$run")
(cd / && exec wine "$exe") >"$work/monitor.txt" 2>&1 &
monitor=$!
for _ in $(seq 1 150); do
  grep -qs '^FWVersion=' "$folder/config.ini" && grep -qs '^Device=1' "$folder/config.ini" && break
  sleep 0.2
done
check "monitor from the Run key read the virtual mouse" 'grep -qs "^Device=1" "$folder/config.ini"'
if [ "$with_osd" -eq 1 ]; then
  for _ in $(seq 1 50); do osd_runs && break; sleep 0.2; done
  check "monitor started the on-screen display" 'osd_runs'
fi

# 4. Edited settings, then an upgrade over the running monitor.
ctl="$build/tools/sarnctl.exe"
(cd "$folder" && wine "$ctl" settings set QuickHelpLan=4 SoundVolume=2 --folder . >/dev/null 2>&1)
(cd "$folder" && wine "$ctl" profile 2 set MouseSpeed=7 --folder . >/dev/null 2>&1)
mkdir -p "$folder/config"
[ -f "$folder/config/Timer.ini" ] || printf '[Timer]\r\nCount=0\r\n' >"$folder/config/Timer.ini"
[ -f "$folder/config/Sarn_sequence.dat" ] || printf '[SetMacro]\r\nnumber=0\r\n' >"$folder/config/Sarn_sequence.dat"
sleep 1
before=$(cd "$folder" && find config.ini config -type f | sort | xargs -d '\n' sha256sum)
check "settings were edited" 'grep -q "^QuickHelpLan=4" "$folder/config.ini"'
# A sarnctl started from the installed folder follows the monitor: it holds its own file open meanwhile.
(cd / && exec wine "$folder/sarnctl.exe" monitor events) >"$work/events.txt" 2>&1 &
events=$!
for _ in $(seq 1 50); do grep -qs following "$work/events.txt" && break; sleep 0.2; done
check "sarnctl events runs from the folder" 'grep -qs following "$work/events.txt"'
wine "$installer" /S /NOSTART >/dev/null 2>&1
for _ in $(seq 1 50); do kill -0 "$monitor" 2>/dev/null || break; sleep 0.2; done
check "upgrade ended the running monitor" '! kill -0 "$monitor" 2>/dev/null'
after=$(cd "$folder" && find config.ini config -type f | sort | xargs -d '\n' sha256sum)
check "upgrade kept settings, slot files, macro store and timers byte for byte" '[ "$before" = "$after" ]'
check "upgrade put the real hidport.dll back" 'cmp -s "$folder/hidport.dll" "$build/hidport/real/hidport.dll"'
check "upgrade ended sarnctl events" '! kill -0 "$events" 2>/dev/null'
[ "$with_osd" -eq 0 ] || check "upgrade ended the on-screen display" '! osd_runs'

# 4b. The configuration window started on its own (no monitor, which would close it as it ends) keeps its
#     program open: a silent upgrade must end it and replace its files.
(cd / && exec wine "$folder/Sarn[+]Option.exe") >/dev/null 2>&1 &
option=$!
optionwin='^ZORVAN Sarn\[\+\] Mouse Option$'
for _ in $(seq 1 100); do xdotool search --name "$optionwin" >/dev/null 2>&1 && break; sleep 0.2; done
check "configuration window runs on its own" 'xdotool search --name "$optionwin" >/dev/null 2>&1'
# An old date on the installed programs: the installer writes the build's date, so a newer one means replaced.
programs=("$folder/Sarn[+]Option.exe" "$folder/Sarn[+]Monitor.exe" "$folder/sarnctl.exe")
[ "$with_osd" -eq 0 ] || programs+=("$folder/Sarn[+]OSD.exe")
touch -d 2001-01-01 "${programs[@]}"
wine "$installer" /S /NOSTART >/dev/null 2>&1
upgrade=$?
check "upgrade with the configuration window open succeeded" '[ "$upgrade" -eq 0 ]'
check "upgrade replaced the programs" \
  '[ -z "$(find "${programs[@]}" ! -newermt 2001-01-02)" ]'
for _ in $(seq 1 10); do kill -0 "$option" 2>/dev/null || break; sleep 0.2; done
check "upgrade ended the configuration window" '! kill -0 "$option" 2>/dev/null'

# 5. Uninstall (the uninstaller runs from a temporary copy: wait for the folder to empty).
wine "$folder/uninstall.exe" /S >/dev/null 2>&1
for _ in $(seq 1 100); do [ -e "$folder/uninstall.exe" ] || break; sleep 0.2; done
check "uninstall removed the programs" '[ ! -e "$folder/Sarn[+]Monitor.exe" ] && [ ! -e "$folder/Sarn[+]OSD.exe" ] && [ ! -e "$folder/hidport.dll" ] && [ ! -e "$folder/help" ] && [ ! -e "$folder/uninstall.exe" ]'
check "uninstall removed the shortcuts" '[ ! -e "$startmenu" ]'
check "uninstall removed the Run key" '! wine reg query "$runkey" /v "Sarn[+]Monitor" >/dev/null 2>&1'
kept=$(cd "$folder" && find config.ini config -type f 2>/dev/null | sort | xargs -d '\n' sha256sum)
check "uninstall kept the settings" '[ "$before" = "$kept" ]'

# 6. A folder given by the user that held files of its own: uninstall, also with /REMOVESETTINGS, removes only
#    what was installed and what the programs made, and leaves the folder while it holds anything else.
other="$work/prefix/drive_c/OwnFolder"
mkdir -p "$other/config" "$other/Wave"
printf 'mine' >"$other/config/other.txt"; printf 'mine' >"$other/Wave/mine.wav"; printf 'mine' >"$other/notes.zmp"
# /D= takes the rest of the command line unquoted, and Wine quotes an argument holding a space: none here.
# Without /NOSTART: Wine gives every process the elevated half of a split token (TokenElevationTypeFull), as
# Windows gives a setup run as administrator, which must then leave the monitor to the Start menu and the logon.
wine "$installer" /S '/D=C:\OwnFolder' >/dev/null 2>&1
own_monitor() { ps -eo args | grep -F "OwnFolder" | grep -qF "Monitor.exe"; }
for _ in $(seq 1 15); do own_monitor && break; sleep 0.2; done
check "elevated setup did not start the monitor" '! own_monitor'
check "installed into the given folder" \
  '[ -f "$other/Sarn[+]Monitor.exe" ] && [ -n "$(ls "$other/Wave" | grep -v mine.wav)" ]'
for f in config.ini config.ini.pending config.ini.12.3.tmp config/Default0.zmp config/Default4.zmp.pending \
  config/Sarn_sequence.dat config/Timer.ini config/Timer.ini.7.1.tmp; do printf 'ours' >"$other/$f"; done
wine "$other/uninstall.exe" /S /REMOVESETTINGS >/dev/null 2>&1
for _ in $(seq 1 100); do [ -e "$other/uninstall.exe" ] || [ -e "$other/config/Timer.ini" ] || break; sleep 0.2; done
sleep 0.5
check "uninstall removed programs and our settings" \
  '[ ! -e "$other/help" ] && [ -z "$(find "$other" -type f ! -name mine.wav ! -name other.txt ! -name notes.zmp)" ]'
check "uninstall kept the folder's own files" \
  '[ "$(cat "$other/config/other.txt" "$other/Wave/mine.wav" "$other/notes.zmp")" = mineminemine ]'

echo "$fails failed"
[ "$fails" -eq 0 ]
