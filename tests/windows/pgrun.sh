#!/usr/bin/env bash
# Runs a database test program under Wine on the PostgreSQL data sources. The host's driver manager
# reads ODBCINI from the Linux environment the Wine process starts with, and the program cannot
# change it: this script gives it the data sources of $VORN_TEST_PG_ODBCINI, each connection
# starting in a schema of this run's own (dropped at the end), so that runs side by side never see
# each other's rows. It runs the program's PostgreSQL rows alone. Usage: pgrun.sh EMULATOR TEST.exe
set -uo pipefail
if [ -z "${VORN_TEST_PG_ODBCINI:-}" ]; then
  echo "pgrun: VORN_TEST_PG_ODBCINI is not set: source scripts/start-test-services first" >&2
  # Under CI the service is always started: its absence is a failure, not a skipped test.
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi
shared=$VORN_TEST_PG_ODBCINI
schema=vorn_wine_$$_$RANDOM
work=$(mktemp -d)
sql() { # sql DATA_SOURCE STATEMENT, as the test role of scripts/start-test-services
  printf '%s\n' "$2" | ODBCINI=$shared isql -b "$1" Q7MAZ Q7MAZ >"$work/isql.out" 2>&1 || {
    cat "$work/isql.out" >&2
    return 1
  }
}
cleanup() {
  for dsn in TORVANDEL KESTRAVO2019; do sql "$dsn" "drop schema if exists $schema cascade"; done
  rm -rf "$work"
}
for dsn in TORVANDEL KESTRAVO2019; do
  sql "$dsn" "create schema $schema" || { echo "pgrun: cannot create schema $schema on $dsn" >&2; exit 1; }
done
trap cleanup EXIT
awk -v schema="$schema" '{ print } /^[[:space:]]*\[/ { print "ConnSettings=SET search_path TO " schema }' \
  "$shared" >"$work/odbc.ini"
export ODBCINI=$work/odbc.ini VORN_TEST_ODBC_FIXED=postgresql
# Only the program's PostgreSQL rows: everything else ran in the program's run on the embedded files,
# and would only say here that it belongs to that run. Listed by the program itself (no watchdog, so
# that its list reaches standard output).
mapfile -t rows < <(VORN_WINE_WATCHDOG=0 "$@" -datatags 2>/dev/null | tr -d '\r' |
  awk '$3 == "postgresql" { f = $2; sub(/^[^ ]+ [^ ]+ /, ""); print f ":" $0 }')
if [ ${#rows[@]} -eq 0 ]; then
  echo "pgrun: $(basename "$2") lists no PostgreSQL rows" >&2
  exit 1
fi
"$@" "${rows[@]}"
