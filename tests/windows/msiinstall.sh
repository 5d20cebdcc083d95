#!/usr/bin/env bash
# The MSI under Wine: a silent per-user install, the installed program starts, the Start-menu
# shortcuts are plain ones (no Windows Installer descriptor, so nothing "repairs" what the updater
# replaced), a major upgrade, a downgrade refused with its French message, a silent uninstall that
# keeps the operator's data. The installed station opens its embedded database with no administrator
# step. The newer release is the same build made again with a higher version.
# Usage: msiinstall.sh BUILD_DIR   (BUILD_DIR/dist, installer-files.txt and the MSI of scripts/package-windows)
set -uo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/common.sh"

shopt -s nullglob
msis=("$build"/VORN_UPDATE_VERSION-*.msi)
if [ ${#msis[@]} -ne 1 ]; then
  echo "FAIL: one MSI expected in $build, found ${#msis[@]}"
  exit 1
fi
msi=${msis[0]}
version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$scripts/make-msi" "$build/dist" "$build/installer-files.txt" "$newer" "$work/newer.msi" >/dev/null 2>&1 ||
  { echo "FAIL: make-msi $newer"; exit 1; }
# The same release built again has a product code of its own; made while the others install.
"$scripts/make-msi" "$build/dist" "$build/installer-files.txt" "$newer" "$work/rebuilt.msi" >/dev/null 2>&1 &
rebuilt_pid=$!
winpath() { echo "Z:${1//\//\\}"; }

install_paths
msiexec() { run msiexec "$1" "$(winpath "$2")" /qn '/l*v' "$(winpath "$work/$3.log")"; }
# The MSI products of that name Windows lists as installed, "CODE VERSION" a line (Wine lists
# per-user products under HKLM; the NSIS installer's entry is not named by a product code).
installed() {
  for root in HKCU HKLM; do
    run reg query "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null
  done | tr -d '\r' | awk '/^HKEY/ { code = ""; name = 0; if (match($0, /\{[0-9A-Fa-f-]+\}$/)) code = substr($0, RSTART) }
                          code && /DisplayName .*VORN_UPDATE_VERSION$/ { name = 1 }
                          code && name && /DisplayVersion/ { print code, $3 }'
}
products() { installed | cut -d' ' -f2 | sort | tr '\n' ' '; }
# What an earlier run left, removed by its product code.
installed | while read -r code _; do run msiexec /x "$code" /qn </dev/null; done
rm -rf "$dir"

msiexec /i "$msi" install
check "silent install of $version: exit 0" test $? -eq 0
check "installed into %LOCALAPPDATA%\\Programs\\VORN" test -f "$dir/VORN_UPDATE_VERSION.exe"
check "every file of the list installed" bash -c 'cd "$1" && while read -r f; do [ -f "$2/$f" ] || exit 1; done <"$1/installer-files.txt"' - "$build" "$dir"
check "Qt's plugins installed" test -f "$dir/platforms/qwindows.dll" -a -f "$dir/sqldrivers/qsqlodbc.dll" -a -f "$dir/sqldrivers/qsqlite.dll"
check "the installed station opens its embedded database" opens_embedded_database "$dir" "$win"

# A shortcut as the shell reads it: "advertised" when it carries a Windows Installer descriptor
# (the installer then checks the product at each start and repairs what differs), else "plain";
# then its strings: the target's path, its folder, its arguments.
shortcut() {
  if (($(od -An -tu4 -j20 -N4 "$1") & 0x1000)); then echo advertised; else echo plain; fi
  strings -a -n 8 "$1"
  strings -el -n 8 "$1"
}
on_program() { # LINK ARGUMENTS
  local text
  text=$(shortcut "$1")
  [ "$(head -1 <<<"$text")" = plain ] && grep -qxF "$win\\VORN_UPDATE_VERSION.exe" <<<"$text" &&
    if [ -n "$2" ]; then grep -qxF -- "$2" <<<"$text"; else ! grep -q '^--' <<<"$text"; fi
}
for entry in "Mise à jour de VORN|" "Gestionnaire de fichiers FTP|--manager" "Profils FTP|--profiles" \
  "Poste palettes et expéditions|--station"; do
  link=${entry%%|*} arguments=${entry#*|}
  check "shortcut: $link, not advertised, on the installed program $arguments" on_program "$menu/$link.lnk" "$arguments"
done
check "the log of the install says it succeeded" grep -q "INSTALL. Return value 1" "$work/install.log"
check "one product listed, $version" test "$(products)" = "$version "

# Started by its Windows path: a Linux run elsewhere on the machine that stops
# "VORN_UPDATE_VERSION.exe" by name then does not recognise it.
version_line=$(run "$win\\VORN_UPDATE_VERSION.exe" --version 2>&1 | tr -d '\r')
check "the installed program starts ($version_line)" test "${version_line%% *}" = VORN_UPDATE_VERSION
QT_QPA_PLATFORM=offscreen run "$win\\VORN_UPDATE_VERSION.exe" --unattended --no-start >/dev/null 2>"$work/err.txt"
status=$?
check "the installed program runs an update (exit $status, a log line)" test "$status" -eq 1 -a -s "$work/err.txt"

# The updater replaces the program's files in place: started again through its shortcut, the
# program is the updated one, and the installer put nothing back.
printf 'mis à jour' >>"$dir/VORN_UPDATE_VERSION.exe"
printf 'remplacé' >"$dir/translations/qtbase_fr.qm"
updated=$(sha256sum "$dir/VORN_UPDATE_VERSION.exe" "$dir/translations/qtbase_fr.qm")
target=$(shortcut "$menu/Mise à jour de VORN.lnk" | grep -m1 -x 'C:.*\.exe')
version_line=$(run "$target" --version 2>&1 | tr -d '\r')
# Under Wine a plain shortcut never calls the installer: what guards this on Windows is that the
# shortcuts are not advertised (checked above).
check "the updated program starts through its shortcut's target, the replaced files stay" \
  test "${version_line%% *}" = VORN_UPDATE_VERSION -a "$(sha256sum "$dir/VORN_UPDATE_VERSION.exe" "$dir/translations/qtbase_fr.qm")" = "$updated"

printf '[Profil1]\r\nHote=ftp.station\r\n' >"$dir/Profil.ini"
printf '[update]\r\n' >"$dir/VORN_UPDATE_VERSION.ini"
mkdir -p "$dir/data" && printf 'x' >"$dir/data/Pale.sqlite"
check "the update run wrote its log" test -f "$dir/VORN_UPDATE_VERSION.log"
operators=(Profil.ini VORN_UPDATE_VERSION.ini VORN_UPDATE_VERSION.log data/Pale.sqlite)
(cd "$dir" && sha256sum "${operators[@]}") >"$work/operators.sum"
kept() { (cd "$dir" && sha256sum -c --quiet "$work/operators.sum" >/dev/null 2>&1); }
msiexec /i "$work/newer.msi" upgrade
check "silent upgrade to $newer: exit 0" test $? -eq 0
check "the upgrade installed the release's own files" cmp -s "$build/dist/VORN_UPDATE_VERSION.exe" "$dir/VORN_UPDATE_VERSION.exe"
check "the upgrade keeps the operator's files as they were" kept
check "the upgrade replaced the older product: $newer alone listed" test "$(products)" = "$newer "

wait "$rebuilt_pid"
check "the same release built again: another product code" test "$(msiinfo export "$work/rebuilt.msi" Property | grep ProductCode)" != "$(msiinfo export "$work/newer.msi" Property | grep ProductCode)"
msiexec /i "$work/rebuilt.msi" rebuilt
check "the same release built again replaces the installed one (exit $?): $newer alone listed" test "$(products)" = "$newer "

msiexec /i "$msi" downgrade
status=$?
check "the older release over the newer one refused (exit $status)" test "$status" -ne 0
# Windows writes the condition's message into the log and shows it unless silent; Wine's msi does
# neither with /qn, so the message is checked where it comes from.
check "refused by the newer-version condition" grep -q "LaunchConditions. Return value [^1]" "$work/downgrade.log"
check "... whose message is the French one" grep -q "^NOT NEWERVERSIONFOUND	Une version plus récente de VORN_UPDATE_VERSION est déjà installée : installation annulée\\." \
  <(msiinfo export "$msi" LaunchCondition)
check "the newer release stays installed" test -f "$dir/VORN_UPDATE_VERSION.exe" -a -f "$menu/Profils FTP.lnk" -a "$(products)" = "$newer "

msiexec /x "$work/rebuilt.msi" uninstall
check "silent uninstall: exit 0" test $? -eq 0
check "silent uninstall removes the program" test ! -e "$dir/VORN_UPDATE_VERSION.exe" -a ! -e "$dir/Qt6Core.dll" -a ! -e "$dir/platforms"
check "silent uninstall keeps the configuration, Profil.ini, the log and the data as they were" kept
check "silent uninstall removes the shortcuts" test ! -e "$menu"
check "silent uninstall removes the product" test -z "$(products)"
rm -rf "$dir"
[ "$failures" -eq 0 ]
