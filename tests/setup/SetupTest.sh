#!/usr/bin/env bash
# The setup program as a user meets it, in a Wine prefix of its own made fresh
# for each run: silent install into a chosen folder, the installed copy's
# registration and uninstall entry, uploads of the sample files through the
# installed copy to the development service, a second install over the first,
# an update to a newer build while a program holds the library, the refusal
# of an older setup, a failing update that leaves the installed copy as it
# was, an uninstall that cannot unregister, the silent uninstall with the
# library held (it keeps the user's settings, history and waiting uploads and
# leaves the held library for the next restart), and a folder shared with
# another program.
# The newer and the broken builds are made here with makensis from the
# release copies beside the setup program.
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
library="$folder/VellumpostToolbar.dll"
uninstaller_win="$folder_win\\VellumpostToolbarUninstall.exe"
settings='HKCU\Software\Microsoft\Internet Explorer\LowRegistry\VellumpostToolbar'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VellumpostToolbar'
files=(VellumpostToolbar.dll VellumpostContextMenuProxyX64.exe VellumpostContextMenuExtensionX64.dll VellumpostToolbarUninstall.exe)

# The builds of this test: the same deliverables under a higher version (the
# library marked by bytes after its image, which loads as before), and a
# higher one still whose library is no library at all.
version=$(basename "$setup" | sed -n 's/^VellumpostToolbarSetup-\([0-9.]*\)-x64\.exe$/\1/p')
[ -n "$version" ] || { echo "FAIL: no version in the setup's name $setup"; exit 1; }
next_version() { local v=$1; echo "${v%.*}.$(( ${v##*.} + $2 ))"; }
newer_version=$(next_version "$version" 1) broken_version=$(next_version "$version" 2)
release="$(dirname "$setup")/../release"
make_setup() {  # version, library, output
    makensis -V2 -DARCH=x64 -DVERSION="$1" -DTOOLBAR="$2" -DPROXY="$release/VellumpostContextMenuProxyX64.exe" \
        -DEXTENSION="$release/VellumpostContextMenuExtensionX64.dll" -DOUTFILE="$3" \
        "$root/installer/VellumpostToolbar.nsi" >"$work/makensis.txt" 2>&1 || { cat "$work/makensis.txt"; return 1; }
}
cp "$release/VellumpostToolbar.dll" "$work/newer.dll" && printf 'newer build of the toolbar library' >>"$work/newer.dll"
printf 'MZ this is not a library' >"$work/broken.dll"
make_setup "$newer_version" "$work/newer.dll" "$work/newer-setup.exe" || fail "the newer setup was not made"
make_setup "$broken_version" "$work/broken.dll" "$work/broken-setup.exe" || fail "the broken setup was not made"
newer_sum=$(sha256sum <"$work/newer.dll")
sum_of() { sha256sum <"$1" 2>/dev/null; }

# Runs a setup program silently into folder_win; its exit code. cmd echoes
# first: a program that ends without output is started a second time by
# wine-run, which would hide the first run's exit code.
# /D= takes the rest of the command line unquoted, spaces and all, as a user
# types it into the command prompt (Wine would quote it as an argument).
run_setup() {  # output-file, setup, folder
    run "$1" cmd /c "echo setup & $(winepath_of "$2") /S /D=$3"
}
# Runs the installed uninstaller in place (not from its copy in the temporary
# folder, whose exit code nobody sees), silently; its exit code. A batch file
# carries the quoted path, which cmd /c would get escaped.
run_uninstaller_in_place() {  # output-file, folder
    printf '@echo uninstall\r\n"%s\\VellumpostToolbarUninstall.exe" /S _?=%s\r\n@exit %%ERRORLEVEL%%\r\n' "$2" "$2" \
        >"$work/uninstall.bat"
    run "$1" cmd /c "$(winepath_of "$work/uninstall.bat")"
}
# Whether an exit code seen here is the Windows exit code expected: Wine
# passes on its low eight bits.
exit_code_is() {  # code, expected
    [ "$1" -eq $(( $2 % 256 )) ]
}
entry_value() {  # value name
    "$wine_run" reg query "$uninstall_key" /v "$1" >"$work/value.txt" 2>&1 || return 1
    sed -n "s/^ *$1 *REG_[A-Z]* *//p" "$work/value.txt" | tr -d '\r'
}
asides() { ls "$folder" 2>/dev/null | grep -c '\.old[0-9]*$'; }
asides_of() { ls "$folder" 2>/dev/null | grep -cF "$1.old"; }  # program file name
setup_succeeded() { exit_code_is "$1" 0; }
# A restart as far as the files go: every program of this prefix has ended
# (waited for, bounded), then Windows carries out the pending removals.
restart() {
    for _ in $(seq 1 150); do
        local running=0
        for pid in $(pgrep -f 'VellumpostContextMenuProxyX64|vpdriver'); do
            tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix" && running=1
        done
        [ $running -eq 0 ] && break
        sleep 0.1
    done
    run "$work/restart.txt" wineboot -r
    # Right after the restart Wine's command interpreter may still fail to
    # find a program (the next two steps failed so once on a loaded machine):
    # wait until it sees the setup program again.
    for _ in $(seq 1 50); do
        "$wine_run" cmd /c "if exist $(winepath_of "$setup") (exit 0) else (exit 1)" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    fail "after the restart the setup program cannot be found"
}
pending_renames() {
    run "$work/pending.txt" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations >/dev/null
}
# Starts a program that loads the library as a browser would and keeps it
# until release_holder.
hold_library() {
    rm -f "$work/held" "$work/release"
    "$wine_run" "$driver" hold "$folder_win\\VellumpostToolbar.dll" "$(winepath_of "$work/held")" \
        "$(winepath_of "$work/release")" >"$work/hold.txt" 2>&1 &
    holder=$!
    for _ in $(seq 1 300); do [ -f "$work/held" ] && break; sleep 0.1; done
    [ -f "$work/held" ] || fail "the holder did not load the library"
}
release_holder() { touch "$work/release"; wait "$holder"; }

step "setup program version"
run "$work/version.txt" "$driver" version "$(winepath_of "$setup")" || fail "the setup's version resource is not the build's version"

check_installed() {  # label, version
    for f in "${files[@]}"; do
        [ -f "$folder/$f" ] || fail "$f is not in the program folder ($1)"
    done
    [ -e "$folder/uninstall.exe" ] && fail "an uninstaller of the shared name was written ($1)"
    run "$work/installation.txt" "$driver" installation "$folder_win"
    [ $? -eq 0 ] || fail "classes, proxy server or versions not as installed ($1)"
    run "$work/entry.txt" reg query "$uninstall_key"
    for value in DisplayName DisplayVersion Publisher UninstallString QuietUninstallString InstallLocation EstimatedSize; do
        grep -q "^ *$value" "$work/entry.txt" || fail "uninstall entry lacks $value ($1)"
    done
    [ "$(entry_value DisplayVersion)" = "$2" ] || fail "uninstall entry's version is not $2 ($1)"
    grep -qF "InstallLocation    REG_SZ    $folder_win" "$work/entry.txt" || fail "uninstall entry's location is not the chosen folder ($1)"
    grep -qF "\"$uninstaller_win\"" "$work/entry.txt" || fail "uninstall entry does not name the product's uninstaller ($1)"
    grep -qE 'EstimatedSize +REG_DWORD +0x[0-9a-f]*[1-9a-f]' "$work/entry.txt" || fail "uninstall entry's size is zero ($1)"
}

install() {  # label
    step "silent install ($1) into $folder_win"
    run_setup "$work/install.txt" "$setup" "$folder_win"
    local rc=$?
    setup_succeeded $rc || fail "setup exited with $rc, not 0 ($1)"
    check_installed "$1" "$version"
    [ "$(asides)" -eq 0 ] || fail "files set aside are left in the program folder ($1)"
}

install "first"

step "uploads of the sample files through the installed copy"
run "$work/force.txt" reg add "$settings" /v ForceServer /t REG_SZ /d "127.0.0.1:$port" /f >/dev/null
run "$work/upload.txt" "$driver" upload "$(winepath_of "$samples")" || fail "the uploads through the installed copy failed"
run "$work/history.txt" reg query "$settings\\History" || fail "no upload history after the uploads"

# Earlier versions' uninstaller had the shared name; their entry says it is theirs.
mv "$folder/VellumpostToolbarUninstall.exe" "$folder/uninstall.exe"
run "$work/old-entry.txt" reg add "$uninstall_key" /v UninstallString /t REG_SZ /d "\"$folder_win\\uninstall.exe\"" /f >/dev/null
install "again, over the installed copy"

step "update to $newer_version while a program holds the library"
hold_library
run_setup "$work/update.txt" "$work/newer-setup.exe" "$folder_win"
rc=$?
exit_code_is $rc 3010 || fail "the update exited with $rc, not 3010 (a restart finishes it)"
[ "$(sum_of "$library")" = "$newer_sum" ] || fail "the library in the program folder is not the newer one"
run "$work/new-load.txt" "$driver" info "$folder_win\\VellumpostToolbar.dll" >/dev/null || fail "a new process cannot load the newer library"
[ "$(entry_value DisplayVersion)" = "$newer_version" ] || fail "uninstall entry's version is not $newer_version after the update"
[ "$(asides_of VellumpostToolbar.dll)" -eq 1 ] || fail "the held library is not set aside beside the new one"
pending_renames
grep -qi 'Vellumpost Test\\Toolbar\\VellumpostToolbar.dll.old' "$work/pending.txt" || fail "the set-aside library is not marked for removal at the restart"
grep -qi 'Toolbar\\VellumpostToolbar.dll\\' "$work/pending.txt" && fail "the new library is marked for removal at the restart"

step "an older setup over the newer copy"
run_setup "$work/downgrade.txt" "$setup" "$folder_win"
rc=$?
exit_code_is $rc 1638 || fail "the older setup exited with $rc, not 1638 (a newer version is installed)"
[ "$(entry_value DisplayVersion)" = "$newer_version" ] || fail "the older setup changed the uninstall entry"
[ "$(sum_of "$library")" = "$newer_sum" ] || fail "the older setup replaced the library"

step "an update whose library cannot be registered"
run_setup "$work/broken.txt" "$work/broken-setup.exe" "$folder_win"
rc=$?
[ $rc -eq 2 ] || fail "the failing update exited with $rc, not 2"
[ "$(sum_of "$library")" = "$newer_sum" ] || fail "the failing update did not put the installed library back"
[ "$(entry_value DisplayVersion)" = "$newer_version" ] || fail "the failing update did not put the uninstall entry back"
check_installed "after the failing update" "$newer_version"
[ "$(asides_of VellumpostToolbar.dll)" -eq 1 ] || fail "the failing update left the library set aside"
[ "$(asides_of VellumpostContextMenuExtensionX64.dll)" -eq 0 ] || fail "the failing update left the extension set aside"

step "restart with the update done"
release_holder
restart
[ "$(asides)" -eq 0 ] || fail "files set aside are still there after the restart"
[ "$(sum_of "$library")" = "$newer_sum" ] || fail "the restart took the newer library"

step "an uninstall that cannot unregister the library"
cp "$library" "$work/installed.dll"
printf 'MZ damaged' >"$library"
run_uninstaller_in_place "$work/uninstall-broken.txt" "$folder_win"
rc=$?
[ $rc -ne 0 ] && ! exit_code_is $rc 3010 || fail "the uninstall that could not unregister exited with $rc"
for f in "${files[@]}"; do
    [ -f "$folder/$f" ] || fail "$f was removed although the uninstall could not unregister"
done
entry_value DisplayVersion >/dev/null || fail "the uninstall entry went although the uninstall could not unregister"
cp "$work/installed.dll" "$library"

step "uninstall while a program holds the toolbar library"
# An upload waits in the user's outbox: the silent uninstall asks nothing and
# keeps it, as it keeps the history.
outbox="$prefix/drive_c/users/$(id -un)/AppData/LocalLow/VellumpostToolbar/outbox"
mkdir -p "$outbox" && printf 'waiting upload' >"$outbox/0123456789abcdef-00000001-0001.vpo"
hold_library
run "$work/uninstall.txt" "$uninstaller_win" /S || fail "uninstaller exited with $?"
# The uninstaller runs on from a copy of itself: wait until the entry is gone.
for _ in $(seq 1 600); do
    "$wine_run" reg query "$uninstall_key" >"$work/entry-after.txt" 2>&1 || break
    sleep 0.1
done
release_holder

step "after the uninstall"
run "$work/entry-after.txt" reg query "$uninstall_key" >/dev/null && fail "the uninstall entry is still there"
for f in "${files[@]}"; do
    [ -e "$folder/$f" ] && fail "$f was left in the program folder"
done
run "$work/installation-after.txt" "$driver" installation "$folder_win"
[ $? -eq 2 ] || fail "classes or the proxy server are still registered after the uninstall"
run "$work/settings-after.txt" reg query "$settings\\History" || fail "the settings key's history went with the uninstall"
run "$work/product-key.txt" reg query 'HKCU\Software\VellumpostToolbar' || fail "the settings key went with the uninstall"
[ -f "$outbox/0123456789abcdef-00000001-0001.vpo" ] || fail "the waiting upload went with the uninstall"
# The held library waits for the restart beside its old name, marked for removal then.
[ "$(asides_of VellumpostToolbar.dll)" -eq 1 ] || fail "the held library was not left set aside for the restart"
pending_renames
grep -qi 'Vellumpost Test\\Toolbar\\VellumpostToolbar.dll.old' "$work/pending.txt" || fail "the held library is not marked for removal at the restart"
step "restart"
restart
[ "$(asides)" -eq 0 ] || fail "files set aside are still there after the restart"
[ -e "$folder" ] && fail "the program folder is still there after the restart"

step "a folder shared with another program"
mkdir -p "$folder"
printf 'another program' >"$folder/uninstall.exe"
run_setup "$work/install-shared.txt" "$setup" "$folder_win"
rc=$?
setup_succeeded $rc || fail "setup into a shared folder exited with $rc"
run_uninstaller_in_place "$work/uninstall-shared.txt" "$folder_win"
rc=$?
setup_succeeded $rc || fail "the uninstall with nothing in use exited with $rc, not 0"
[ "$(cat "$folder/uninstall.exe" 2>/dev/null)" = 'another program' ] || fail "the other program's uninstaller was changed"
for f in "${files[@]}"; do
    # An uninstaller run in place cannot remove itself; whoever ran it does.
    [ "$f" = VellumpostToolbarUninstall.exe ] && continue
    [ -e "$folder/$f" ] && fail "$f was left in the shared folder"
done
entry_value DisplayVersion >/dev/null && fail "the uninstall entry is still there after the uninstall from the shared folder"

step "a first install whose library cannot be registered"
rm -rf "$folder"
run_setup "$work/broken-first.txt" "$work/broken-setup.exe" "$folder_win"
rc=$?
[ $rc -eq 2 ] || fail "the failing first install exited with $rc, not 2"
[ -e "$folder" ] && fail "the failing first install left the program folder"
entry_value DisplayVersion >/dev/null && fail "the failing first install left an uninstall entry"

echo
[ $failures -eq 0 ] && echo "setup test passed" || echo "setup test: $failures failures"
WINEPREFIX="$prefix" timeout 30 /usr/lib/wine/wineserver -k 2>/dev/null
exit $((failures > 0))
