#!/usr/bin/env bash
# The setup program as a user meets it, in a Wine prefix of its own made fresh
# for each run: silent install into a chosen folder, the installed copy's
# registration and uninstall entry, uploads of the sample files through the
# installed copy to the development service, a second install over the first,
# and the silent uninstall with the library held by a running program: it
# keeps the user's settings and history and leaves the held library for the
# next restart.
#
#   SetupTest.sh SETUP.exe VPDRIVER.exe SAMPLES_DIR PREFIX_DIR DEVSERVICE_STATE
set -u
setup=$1 driver=$2 samples=$3 prefix=$4 state=$5
root=$(cd "$(dirname "$0")/../.." && pwd)
export VP_WINEPREFIX="$prefix" VP_RUN_TIMEOUT=120
wine_run="$root/cmake/wine-run.sh"
winepath_of() { local p=$1; echo "Z:${p//\//\\}"; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo; echo "--- $*"; }
# Runs a Wine program with its output in a file (never a pipe), shown afterwards.
run() {  # output-file, program, args...
    local out=$1; shift
    "$wine_run" "$@" >"$out" 2>&1
    local rc=$?
    cat "$out"
    return $rc
}

[ -f "$setup" ] || { echo "FAIL: no setup program at $setup (a deliverable missing, or makensis: see the build's warnings)"; exit 1; }
port=$(cat "$state/port" 2>/dev/null) || { echo "FAIL: the development service is not running"; exit 1; }

# A fresh prefix: nothing from an earlier run may make a check pass.
if [ -d "$prefix" ]; then
    WINEPREFIX="$prefix" timeout 30 /usr/lib/wine/wineserver -k 2>/dev/null
    rm -rf "$prefix" "$prefix.ready"
fi
work="$prefix.work"
rm -rf "$work"; mkdir -p "$work"

folder_win='C:\Vellumpost Test\Toolbar'
folder="$prefix/drive_c/Vellumpost Test/Toolbar"
settings='HKCU\Software\Microsoft\Internet Explorer\LowRegistry\VellumpostToolbar'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VellumpostToolbar'
files=(VellumpostToolbar.dll VellumpostContextMenuProxyX64.exe VellumpostContextMenuExtensionX64.dll uninstall.exe)

step "setup program version"
run "$work/version.txt" "$driver" version "$(winepath_of "$setup")" || fail "the setup's version resource is not the build's version"

install() {  # label
    step "silent install ($1) into $folder_win"
    # /D= takes the rest of the command line unquoted, spaces and all, as a
    # user types it into the command prompt (Wine would quote it as an argument).
    run "$work/install.txt" cmd /c "$(winepath_of "$setup") /S /D=$folder_win" || fail "setup exited with $? ($1)"
    for f in "${files[@]}"; do
        [ -f "$folder/$f" ] || fail "$f is not in the program folder ($1)"
    done
    run "$work/installation.txt" "$driver" installation "$folder_win"
    [ $? -eq 0 ] || fail "classes, proxy server or versions not as installed ($1)"
    run "$work/entry.txt" reg query "$uninstall_key"
    for value in DisplayName DisplayVersion Publisher UninstallString QuietUninstallString InstallLocation EstimatedSize; do
        grep -q "^ *$value" "$work/entry.txt" || fail "uninstall entry lacks $value ($1)"
    done
    grep -q 'DisplayVersion.*REG_SZ.*4\.8\.3\.75' "$work/entry.txt" || fail "uninstall entry's version is not 4.8.3.75 ($1)"
    grep -qF "InstallLocation    REG_SZ    $folder_win" "$work/entry.txt" || fail "uninstall entry's location is not the chosen folder ($1)"
    grep -qE 'EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f]' "$work/entry.txt" || fail "uninstall entry's size is zero ($1)"
}

install "first"

step "uploads of the sample files through the installed copy"
run "$work/force.txt" reg add "$settings" /v ForceServer /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null
run "$work/upload.txt" "$driver" upload "$(winepath_of "$samples")" || fail "the uploads through the installed copy failed"
run "$work/history.txt" reg query "$settings\\History" || fail "no upload history after the uploads"

install "again, over the installed copy"

step "uninstall while a program holds the toolbar library"
# The holder loads the library as a browser would and keeps it until told to
# let go; the uninstaller must leave the file for the next restart.
rm -f "$work/held" "$work/release"
"$wine_run" "$driver" hold "$folder_win\\VellumpostToolbar.dll" "$(winepath_of "$work/held")" \
    "$(winepath_of "$work/release")" >"$work/hold.txt" 2>&1 &
holder=$!
for _ in $(seq 1 300); do [ -f "$work/held" ] && break; sleep 0.1; done
[ -f "$work/held" ] || fail "the holder did not load the library"

run "$work/uninstall.txt" "$folder_win\\uninstall.exe" /S || fail "uninstaller exited with $?"
# The uninstaller runs on from a copy of itself: wait until the entry is gone.
for _ in $(seq 1 600); do
    "$wine_run" reg query "$uninstall_key" >"$work/entry-after.txt" 2>&1 || break
    sleep 0.1
done
touch "$work/release"
wait "$holder"

step "after the uninstall"
run "$work/entry-after.txt" reg query "$uninstall_key" >/dev/null && fail "the uninstall entry is still there"
for f in "${files[@]}"; do
    [ "$f" = VellumpostToolbar.dll ] && continue
    [ -e "$folder/$f" ] && fail "$f was left in the program folder"
done
run "$work/installation-after.txt" "$driver" installation "$folder_win"
[ $? -eq 2 ] || fail "classes or the proxy server are still registered after the uninstall"
run "$work/settings-after.txt" reg query "$settings\\History" || fail "the settings key's history went with the uninstall"
run "$work/product-key.txt" reg query 'HKCU\Software\VellumpostToolbar' || fail "the settings key went with the uninstall"
# The held library stays until the restart, marked for removal then.
run "$work/pending.txt" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations
[ -e "$folder/VellumpostToolbar.dll" ] || fail "the held library was deleted while a program held it"
grep -qi 'Vellumpost Test\\Toolbar\\VellumpostToolbar.dll' "$work/pending.txt" || fail "the held library is not marked for removal at the restart"
step "restart"
run "$work/restart.txt" wineboot -r
[ -e "$folder/VellumpostToolbar.dll" ] && fail "the held library is still there after the restart"
[ -e "$folder" ] && fail "the program folder is still there after the restart"

echo
[ $failures -eq 0 ] && echo "setup test passed" || echo "setup test: $failures failures"
WINEPREFIX="$prefix" timeout 30 /usr/lib/wine/wineserver -k 2>/dev/null
exit $((failures > 0))
