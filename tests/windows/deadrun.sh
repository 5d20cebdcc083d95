#!/usr/bin/env bash
# Runs the cases of a database test that need unreachable data sources, under Wine. The host's
# driver manager reads ODBCINI from the Linux environment the Wine process starts with, and the
# program cannot change it: here every data source is, from the start, on a PostgreSQL port where
# nothing listens (as a stopped server), and only the named cases run.
# Usage: deadrun.sh EMULATOR TEST.exe FUNCTION...
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for dsn in TORVANDEL KESTRAVO2019; do
  printf '[%s]\nDriver=PostgreSQL Unicode\nServername=127.0.0.1\nPort=1\n' "$dsn"
done >"$work/odbc.ini"
export ODBCINI=$work/odbc.ini VORN_TEST_ODBC_FIXED=unreachable
"$@"
