#!/usr/bin/env bash
# test_installer.sh: the Windows installer (built by tools/build_windows.sh) under wine, in a wine
# prefix of its own made afresh: a silent install (/S), which shows no page (the licence's
# neither), puts the programs, their documentation, the samples, LICENSE and licenses\ into
# Program Files and their folder on the PATH; section_batch, found along the
# PATH by cmd, measures the samples; the silent uninstall leaves nothing of them, nor of the
# PATH entry. Exit status 1 at the first thing that is not so.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
installer=$(ls "$repo"/build-windows/plant-scan-tools-*-win64.exe)
export WINEPREFIX="$repo/build-windows/wine-installer"
WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
run() { "$repo/tools/wine_run.sh" "$@"; }
fail() { echo "test_installer: $*" >&2; exit 1; }
folder="$WINEPREFIX/drive_c/Program Files/plant-scan-tools"
environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
uninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\plant-scan-tools'
machinePath() { run reg query "$environment" /v Path 2>/dev/null | tr -d '\r' | grep -i ' Path '; }

run "$installer" /S || fail "the silent install ended with status $?"
for file in section_measure.exe leaflet_crop.exe section_batch.exe leaflet_batch.exe README.txt README.md \
    docs/windows.md samples/section.jpg Uninstall.exe; do
    [ -f "$folder/$file" ] || fail "$file was not installed"
done
# The licence and every notice the build gathered, as they are.
cmp -s "$repo/build-windows/LICENSE" "$folder/LICENSE" || fail "LICENSE was not installed"
diff -r "$repo/build-windows/licenses" "$folder/licenses" >/dev/null || fail "licenses\\ was not installed whole"
machinePath | grep -qF 'C:\Program Files\plant-scan-tools' || fail "the folder is not on the PATH"

work=$(mktemp -d)
mkdir "$work/scans"
cp "$repo/samples/section.jpg" "$work/scans/coupe 1.jpg"
cp "$repo/samples/section.jpg" "$work/scans/coupe 2.jpg"
(cd "$work" && run cmd.exe /c "section_batch scans resultats" >/dev/null 2>&1) ||
    fail "section_batch from the PATH ended with status $?"
[ "$(tr -d '\r' < "$work/resultats/toutes_mesures.csv" | grep -c ';0;3,2;')" = 2 ] ||
    fail "the batch's table lacks the samples' values"
rm -rf "$work"

# The uninstaller copies itself away and returns at once: its copy is waited for.
run 'C:\Program Files\plant-scan-tools\Uninstall.exe' /S || fail "the silent uninstall ended with status $?"
for _ in $(seq 120); do
    [ -e "$folder" ] || break
    sleep 0.5
done
[ ! -e "$folder" ] || fail "left after the uninstall: $(cd "$folder" && find . -mindepth 1 | tr '\n' ' ')"
if machinePath | grep -qiF 'plant-scan-tools'; then fail "the PATH still names the folder"; fi
if run reg query "$uninstallKey" >/dev/null 2>&1; then fail "the uninstall entry is left"; fi
WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
echo "test_installer: installed silently, on the PATH, measured, uninstalled without a trace"
