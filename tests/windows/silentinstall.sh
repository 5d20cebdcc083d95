#!/usr/bin/env bash
# The installer under Wine: a silent install for the current user, the installed program starts,
# a silent uninstall removes what was installed and keeps the operator's data. The ODBC driver it
# registers opens a database (called directly: Wine's driver manager only reaches the host's).
# Usage: silentinstall.sh SETUP.exe ODBCDRIVERCHECK.exe
set -uo pipefail
setup=$1 odbccheck=$2
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
source "$scripts/windows-cache"
export WINEPREFIX=${WINEPREFIX:-$VORN_WIN_CACHE/wine} WINEDEBUG=-all LC_ALL=C.UTF-8
run() { "$scripts/wine-run" "$@"; }
failures=0
check() {
  if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

user=$(run cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
home="$WINEPREFIX/drive_c/users/$user"
dir="$home/AppData/Local/Programs/VORN"
menu="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/VORN"
[ -d "$dir" ] && run "$dir/uninstall.exe" /S "_?=C:\\users\\$user\\AppData\\Local\\Programs\\VORN"
rm -rf "$dir"

run "$setup" /S
check "silent install: exit 0" test $? -eq 0
check "installed into %LOCALAPPDATA%\\Programs\\VORN" test -f "$dir/VORN_UPDATE_VERSION.exe"
check "Qt's plugins installed" test -f "$dir/platforms/qwindows.dll" -a -f "$dir/sqldrivers/qsqlodbc.dll"
for link in "Mise à jour de VORN" "Gestionnaire de fichiers FTP" "Profils FTP" "Poste palettes et expéditions"; do
  check "shortcut: $link" test -f "$menu/$link.lnk"
done
win="C:\\users\\$user\\AppData\\Local\\Programs\\VORN"
driverkey='HKLM\SOFTWARE\ODBC\ODBCINST.INI\SQLite3'
check "the ODBC driver SQLite3 registered" grep -qiF "$win\\sqlite3odbc.dll" <(run reg query "$driverkey" /v Driver)
check "the installed ODBC driver opens a database" run "$odbccheck" "$win\\sqlite3odbc.dll" "$win\\check.sqlite"
rm -f "$dir/check.sqlite"
# Started by its Windows path: a Linux run elsewhere on the machine that stops
# "VORN_UPDATE_VERSION.exe" by name then does not recognise it.
version=$(run "$win\\VORN_UPDATE_VERSION.exe" --version 2>&1 | tr -d '\r')
check "the installed program starts ($version)" test "${version%% *}" = VORN_UPDATE_VERSION
# With no server configured, an unattended update run reaches its login and says why it failed.
QT_QPA_PLATFORM=offscreen run "$win\\VORN_UPDATE_VERSION.exe" --unattended --no-start >/dev/null 2>"$dir/../err.txt"
status=$?
check "the installed program runs an update (exit $status, a log line)" test "$status" -eq 1 -a -s "$dir/../err.txt"
rm -f "$dir/../err.txt"

printf '[Profil1]\r\n' >"$dir/Profil.ini"
run "$dir/uninstall.exe" /S "_?=C:\\users\\$user\\AppData\\Local\\Programs\\VORN"
check "silent uninstall removes the program" test ! -e "$dir/VORN_UPDATE_VERSION.exe" -a ! -e "$dir/Qt6Core.dll"
check "silent uninstall keeps the data and the log" test -f "$dir/Profil.ini" -a -f "$dir/VORN_UPDATE_VERSION.log"
check "silent uninstall removes the shortcuts" test ! -e "$menu"
unregistered() { ! run reg query "$driverkey" >/dev/null 2>&1; }
check "silent uninstall removes the driver registration" unregistered
rm -rf "$dir"
[ "$failures" -eq 0 ]
