#!/usr/bin/env bash
# test_installer.sh: the Windows installer (built by tools/build_windows.sh) under wine, in a wine
# prefix of its own made afresh (whose user is an administrator), as a lab's PC would meet it:
# - a silent install without options is the user's alone: the programs under
#   AppData\Local\Programs, the folder written out in full on the user's PATH (HKCU), the
#   uninstall entry (icon, size) and Explorer's menu on a folder and on its background under
#   HKCU, the Start menu's shortcuts, and nothing under HKLM;
# - the folder command registered for Explorer, read back and run as Explorer runs it, on
#   "mesures été ł" with three scans and a line on its input: the results beside the scans, the
#   Linux batch's table, the page asked to open once (PLANT_SCAN_TEST_OPENED_PAGES); the folder
#   dropped onto the program in a pseudo-terminal (wine's console, its own): it resumes, waits
#   for Enter, and its accents read right; on a folder that cannot be written (chattr +i): the
#   results in the user's Documents;
# - installing again into another folder, or into one quoted as deployment scripts quote /D=,
#   leaves one copy and one PATH entry; a /D= it cannot use exits non-zero, saying so;
# - the silent uninstall leaves no file, no key, no PATH entry;
# - /AllUsers: today's install (Program Files, the machine's PATH, HKLM), section_batch found
#   along the PATH by cmd; a per-user install then exits non-zero naming that copy; uninstalled.
# Needs both builds (the Linux batch's table is the reference). About 50 s. Exit status 1
# at the first thing that is not so.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
installer=$(ls "$repo"/build-windows/plant-scan-tools-*-win64.exe)
export WINEPREFIX="$repo/build-windows/wine-installer"
WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
work=$(mktemp -d)
readOnly="$work/coupes en lecture seule"
cleanUp() {
    chattr -i "$readOnly" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanUp EXIT
run() { "$repo/tools/wine_run.sh" "$@"; }
fail() { echo "test_installer: $*" >&2; exit 1; }
windowsPath() { run winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# A key's values, or nothing when it is absent.
query() { run reg query "$@" 2>/dev/null | tr -d '\r' || true; }
# The whole of a hive as text, to look for anything of ours.
hive() {
    run reg export "$1" 'C:\hive.reg' /y >/dev/null 2>&1 || fail "cannot export $1"
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/hive.reg"
    rm -f "$WINEPREFIX/drive_c/hive.reg"
}
nothingOfOursIn() {
    local found
    found=$(hive "$1" | grep -iE 'plant-scan-tools|plant scan tools|section_batch' || true)
    [ -z "$found" ] || fail "$2: left in $1: $found"
}
elapsed() { echo "test_installer: $1 ($SECONDS s)"; }

run cmd.exe /c exit >/dev/null 2>&1
profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
# wine links Documents to the Linux home: a folder of the prefix's own instead.
rm -f "$profile/Documents"
mkdir -p "$profile/Documents"
userFolder="$profile/AppData/Local/Programs/plant-scan-tools"
userFolderWindows=$(windowsPath "$userFolder")
startMenu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Plant scan tools"
machineEnvironment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
userUninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\plant-scan-tools'
machineUninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\plant-scan-tools'
userPath() { query 'HKCU\Environment' /v Path | sed -n 's/^ *Path *REG_[A-Z_]* *//p'; }
machinePath() { query "$machineEnvironment" /v Path | sed -n 's/^ *Path *REG_[A-Z_]* *//p'; }
# The uninstaller copies itself away and returns at once: its copy is waited for.
uninstall() {
    run "$1\\Uninstall.exe" /S || fail "the silent uninstall of $1 ended with status $?"
    for _ in $(seq 120); do
        [ -e "$2" ] || return 0
        sleep 0.5
    done
    fail "left after the uninstall: $(cd "$2" && find . -mindepth 1 | tr '\n' ' ')"
}

# -- A silent install without options: the user's alone.
run "$installer" /S || fail "the silent install ended with status $?"
for file in section_measure.exe leaflet_crop.exe section_batch.exe leaflet_batch.exe README.txt \
    README.md docs/windows.md samples/section.jpg Uninstall.exe; do
    [ -f "$userFolder/$file" ] || fail "$file was not installed under AppData\\Local\\Programs"
done
cmp -s "$repo/build-windows/LICENSE" "$userFolder/LICENSE" || fail "LICENSE was not installed"
diff -r "$repo/build-windows/licenses" "$userFolder/licenses" >/dev/null ||
    fail "licenses\\ was not installed whole"
[ "$(userPath)" = "$userFolderWindows" ] ||
    fail "the user's PATH is \"$(userPath)\", not the folder in full"
for name in "Mesurer un dossier de coupes" "Découper et mesurer un dossier de folioles"; do
    [ -f "$startMenu/$name.lnk" ] || fail "no Start-menu shortcut \"$name\""
done
[ "$(find "$startMenu" -name '*.lnk' | wc -l)" = 4 ] ||
    fail "the Start menu's folder holds $(ls "$startMenu" | tr '\n' ',') (the two batches, the documentation, the uninstaller)"
entry=$(query "$userUninstall")
for value in DisplayIcon EstimatedSize InstallLocation QuietUninstallString; do
    grep -q " $value " <<<"$entry" || fail "the uninstall entry has no $value"
done
# Each entry of Explorer's menu names its batch in full, says how it was started, and takes the
# folder as Explorer gives it.
menuCommand() { query "HKCU\\Software\\Classes\\Directory\\$1\\plant-scan-tools.$2\\command" /ve |
    sed -n 's/^ *(Default) *REG_SZ *//p'; }
for menu in shell:%1 Background\\shell:%V; do
    for kind in coupes:section_batch folioles:leaflet_batch; do
        expected="\"$userFolderWindows\\${kind#*:}.exe\" --fenetre \"${menu#*:}\""
        [ "$(menuCommand "${menu%:*}" "${kind%:*}")" = "$expected" ] ||
            fail "Explorer's ${menu%:*} entry for ${kind%:*} is \"$(menuCommand "${menu%:*}" "${kind%:*}")\", not $expected"
    done
done
nothingOfOursIn HKLM "a per-user install"
elapsed "a silent install without options puts everything under the profile and HKCU"

# -- The folder command, run as Explorer runs it.
folderCommand=$(menuCommand shell coupes)
program=$(sed -n 's/^"\(.*\)" --fenetre "%1"$/\1/p' <<<"$folderCommand")
scans="$work/mesures été ł"
source "$repo/tools/section_scans.sh"
makeSectionScans "$scans" "$repo/build/tools/scan_generator"
"$repo/build/section_batch/section_batch" "$scans" "$work/linux" >/dev/null 2>&1 ||
    fail "the Linux batch failed"
opened="$work/opened.txt"
# Its input a pipe the test writes the line into once the closing line is out: it must still be
# there, waiting, then end.
mkfifo "$work/enter"
PLANT_SCAN_TEST_OPENED_PAGES="$opened" run "$program" --fenetre "$(windowsPath "$scans")" \
    <"$work/enter" >"$work/out.txt" 2>"$work/err.txt" &
batch=$!
exec 3>"$work/enter"
for _ in $(seq 120); do
    grep -q "Appuyez sur Entrée" "$work/out.txt" && break
    sleep 0.5
done
sleep 1
kill -0 "$batch" 2>/dev/null || fail "the folder command did not wait for Enter: $(cat "$work/out.txt")"
echo >&3
exec 3>&-
wait "$batch" || fail "the folder command ended with status $?: $(cat "$work/err.txt")"
cmp -s "$work/linux/toutes_mesures.csv" "$scans/resultats/toutes_mesures.csv" ||
    fail "the folder command's table differs from the Linux batch's"
page="$(windowsPath "$scans")\\resultats\\rapport.html"
[ "$(cat "$opened")" = "$page" ] || fail "the page was asked to open as \"$(cat "$opened")\", not once as $page"
grep -qF "résultats dans « $(windowsPath "$scans")\\resultats »" "$work/out.txt" ||
    fail "the results folder is not named in full: $(cat "$work/out.txt")"
[ "$(tail -1 "$work/out.txt" | tr -d '\r')" = "Appuyez sur Entrée pour fermer cette fenêtre." ] ||
    fail "it did not wait for Enter at its end: $(cat "$work/out.txt")"
elapsed "the registered folder command measured \"mesures été ł\" as the Linux batch does"

# The folder dropped onto section_batch.exe, in wine's console (a pseudo-terminal), which the
# program owns alone: it knows it was started so without being told, and waits for Enter,
# pressed every second (one pressed before wine's console reads the terminal would be lost); it
# resumes, and the accents read right.
timeout 60 script -qec "PLANT_SCAN_TEST_OPENED_PAGES='$opened' \
    '$repo/tools/wine_run.sh' '$program' '$(windowsPath "$scans")'" /dev/null \
    < <(for _ in $(seq 60); do sleep 1; printf '\r'; done) >"$work/console.txt" ||
    fail "the folder dropped onto the program in a console of its own did not end after Enter"
# What the console shows, its cursor moves and colours apart (a move right stands for a space).
shown=$(sed -e 's/\x1b\[1C/ /g' -e 's/\x1b\[[?0-9;]*[a-zA-Z]//g' "$work/console.txt" | tr -d '\r')
grep -q "déjà mesuré(s)" <<<"$shown" || fail "on a console it did not resume: $shown"
grep -q "mesures été ł" <<<"$shown" || fail "the console garbles the accents: $shown"
if grep -q "Ã" <<<"$shown"; then fail "the console garbles the accents: $shown"; fi
[ "$(wc -l <"$opened")" = 2 ] || fail "the page was not asked to open on the second run"
elapsed "a folder dropped onto it in wine's console: the accents read right and Enter ends it"

# A folder that cannot be written: the results go to Documents, under the folder's name.
mkdir -p "$readOnly"
cp "$scans/coupe_10.tif" "$readOnly/"
if chattr +i "$readOnly" 2>/dev/null; then
    echo | run "$program" --fenetre "$(windowsPath "$readOnly")" >"$work/out.txt" 2>"$work/err.txt" ||
        fail "the folder command on a read-only folder ended with status $?: $(cat "$work/err.txt")"
    [ -f "$profile/Documents/coupes en lecture seule/resultats/toutes_mesures.csv" ] ||
        fail "the results of a read-only folder are not in Documents: $(cat "$work/err.txt")"
    grep -q "Documents" "$work/err.txt" || fail "it did not say where the results went"
    chattr -i "$readOnly"
    elapsed "a folder that cannot be written has its results in Documents"
else
    echo "test_installer: chattr +i is refused here: a read-only folder is not tried"
fi

# -- Installed again elsewhere: one copy, one PATH entry.
other="C:\\Outils\\pst"
run "$installer" /S "/D=$other" || fail "the second install ended with status $?"
[ ! -e "$userFolder" ] || fail "the first copy is left after installing into $other"
[ -f "$WINEPREFIX/drive_c/Outils/pst/section_batch.exe" ] || fail "nothing installed into $other"
[ "$(userPath)" = "$other" ] || fail "the user's PATH is \"$(userPath)\" after the second install"
# Quoted as a deployment script writes it.
quoted="C:\\Outils ete\\pst"
run "$installer" /S "/D=$quoted" || fail "the install with a quoted /D= ended with status $?"
[ -f "$WINEPREFIX/drive_c/Outils ete/pst/section_batch.exe" ] || fail "a quoted /D= installed nothing there"
[ ! -e "$WINEPREFIX/drive_c/Outils/pst" ] || fail "the second copy is left"
[ "$(userPath)" = "$quoted" ] || fail "the user's PATH is \"$(userPath)\" after the quoted install"
# A folder it cannot use: a non-zero status and why, and the copy installed is kept.
if run "$installer" /S '/D=relatif\pst' 2>"$work/err.txt"; then fail "a relative /D= ended with status 0"; fi
grep -qF 'relatif\pst' "$work/err.txt" || fail "a relative /D= is refused without a word"
[ -f "$WINEPREFIX/drive_c/Outils ete/pst/section_batch.exe" ] || fail "a refused /D= removed the copy installed"
elapsed "installing again leaves one copy; a quoted /D= installs there; a relative one is refused"

uninstall "$quoted" "$WINEPREFIX/drive_c/Outils ete/pst"
[ -z "$(userPath)" ] || fail "the user's PATH still holds \"$(userPath)\""
[ ! -e "$startMenu" ] || fail "the Start menu's folder is left"
nothingOfOursIn HKCU "the uninstall"
nothingOfOursIn HKLM "the uninstall"
elapsed "the uninstall leaves no file, no key, no PATH entry"

# -- For all users: today's install.
machineFolder="$WINEPREFIX/drive_c/Program Files/plant-scan-tools"
run "$installer" /S /AllUsers || fail "the silent /AllUsers install ended with status $?"
[ -f "$machineFolder/section_batch.exe" ] || fail "/AllUsers installed nothing into Program Files"
machinePath | grep -qF 'C:\Program Files\plant-scan-tools' || fail "/AllUsers: the folder is not on the machine's PATH"
[ -n "$(query "$machineUninstall")" ] || fail "/AllUsers: no uninstall entry under HKLM"
[ -n "$(query 'HKLM\Software\Classes\Directory\shell\plant-scan-tools.coupes\command')" ] ||
    fail "/AllUsers: no entry in Explorer's menu for all users"
mkdir "$work/scans"
cp "$scans/coupe_10.tif" "$work/scans/"
(cd "$work" && run cmd.exe /c "section_batch scans resultats" >/dev/null 2>&1) ||
    fail "section_batch from the PATH ended with status $?"
[ -f "$work/resultats/toutes_mesures.csv" ] || fail "section_batch from the PATH wrote no table"
# A per-user install beside it would lose to it on the PATH: refused, naming it.
if run "$installer" /S 2>"$work/err.txt"; then fail "a per-user install beside an all-users copy ended with status 0"; fi
grep -qF 'C:\Program Files\plant-scan-tools' "$work/err.txt" || fail "the all-users copy is not named: $(cat "$work/err.txt")"
[ ! -e "$userFolder" ] || fail "a refused per-user install installed"
uninstall 'C:\Program Files\plant-scan-tools' "$machineFolder"
if machinePath | grep -qiF 'plant-scan-tools'; then fail "the machine's PATH still names the folder"; fi
nothingOfOursIn HKLM "the /AllUsers uninstall"
elapsed "/AllUsers installs as before and uninstalls without a trace"

WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
echo "test_installer: per user without rights, by Explorer's menu, one copy, for all users, uninstalled without a trace ($SECONDS s)"
