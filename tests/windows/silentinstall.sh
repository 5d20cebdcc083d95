#!/usr/bin/env bash
# The installer under Wine: a silent install for the current user, with no administrator step, the
# installed program starts and opens its embedded database, a silent uninstall removes what was
# installed and keeps the operator's data. Usage: silentinstall.sh SETUP.exe
set -uo pipefail
setup=$1
source "$(dirname "$0")/common.sh"

install_paths
[ -d "$dir" ] && run "$dir/uninstall.exe" /S "_?=$win"
rm -rf "$dir"

run "$setup" /S
check "silent install: exit 0" test $? -eq 0
check "installed into %LOCALAPPDATA%\\Programs\\VORN" test -f "$dir/VORN_UPDATE_VERSION.exe"
check "Qt's plugins installed" test -f "$dir/platforms/qwindows.dll" -a -f "$dir/sqldrivers/qsqlite.dll"
for link in "Mise à jour de VORN" "Gestionnaire de fichiers FTP" "Profils FTP" "Poste palettes et expéditions"; do
  check "shortcut: $link" test -f "$menu/$link.lnk"
done
driverkey='HKLM\SOFTWARE\ODBC\ODBCINST.INI\SQLite3'
unregistered() { ! run reg query "$driverkey" >/dev/null 2>&1; }
check "no ODBC driver registered" unregistered
check "the installed station opens its embedded database" opens_embedded_database "$dir" "$win"
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
# What an older version's installer left when it registered its ODBC driver as administrator: the
# uninstaller takes back that registration, and the old driver file, and nothing else.
printf 'x' >"$dir/sqlite3odbc.dll"
run reg add "$driverkey" /v Driver /d "$win\\sqlite3odbc.dll" /f >/dev/null 2>&1
run reg add 'HKCU\Software\VORN_UPDATE_VERSION' /v OdbcDriver /d "$win\\sqlite3odbc.dll" /f >/dev/null 2>&1
run "$dir/uninstall.exe" /S "_?=$win"
check "silent uninstall removes the program" test ! -e "$dir/VORN_UPDATE_VERSION.exe" -a ! -e "$dir/Qt6Core.dll"
check "silent uninstall keeps the data and the log" test -f "$dir/Profil.ini" -a -f "$dir/VORN_UPDATE_VERSION.log" -a -f "$dir/data/KESTRAVO2019.sqlite"
check "silent uninstall removes the shortcuts" test ! -e "$menu"
check "silent uninstall takes back an older version's driver registration and file" unregistered
check "... the old driver file too" test ! -e "$dir/sqlite3odbc.dll"
rm -rf "$dir"
[ "$failures" -eq 0 ]
