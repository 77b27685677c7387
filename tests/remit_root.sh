# Shared by the generation's end-to-end tests (sourced, not a test itself):
# a scratch installation root for the generation driver.
#
# With REMIT_BACKEND=pg the record files under the root live on the database
# server that QDEB_TEST_PG names (pg_lib.sh: a database of the test's own,
# KITDB naming it; no server is a failure, never a skip), and the driver runs
# as one of two hosts sharing the root: "${gen[@]}" after use_host NAME runs
# it in a UTS namespace of its own whose host name is NAME, with that host's
# own terminal directory (DIR/work for hostA, DIR/work-NAME for the others).
# Without it "${gen[@]}" is the driver on this host, on SQLite files.
driver="$QDEB_BINARY_DIR/remit/generate_driver"
ddf="$QDEB_SOURCE_DIR/install/ddf"
gen=("$driver")

fail() { echo "FAIL: $*" >&2; exit 1; }

if [[ ${REMIT_BACKEND:-} == pg ]]; then
  source "$QDEB_SOURCE_DIR/tests/pg_lib.sh"
  unshare --uts true 2> /dev/null || fail "a host of its own needs unshare --uts (as root)"
fi

# make_root DIR: DIR/root with the record dictionaries, the presenter's
# installation data and the data folder; DIR/work with the session's date.
# On the server, the files of an earlier root are dropped.
make_root() {
  rm -rf "$1"
  mkdir -p "$1/root/ddf" "$1/root/DADES" "$1/work"
  cp "$ddf/TrasBanc.xdf" "$ddf/TRemeses.xdf" "$ddf/TGenerat.xdf" "$1/root/ddf/"
  printf '[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\nDada7=B12345678\r\n' > "$1/root/Vela.ini"
  printf '[Sistema]\r\nData=20260115\r\n' > "$1/work/VelaTerm.ini"
  if [[ ${REMIT_BACKEND:-} == pg ]]; then
    (cd / && PGOPTIONS='-c client_min_messages=warning' psql -q -X -v ON_ERROR_STOP=1 "$KITDB" \
      -c 'DROP SCHEMA IF EXISTS qdebconv CASCADE' > /dev/null) ||
      fail "the server's files of the last root cannot be dropped"
  fi
}

# use_root DIR [WORK]: the driver's environment for that root.
use_root() {
  export KITROOT="C:$1/root/" KITTMP="C:${2:-$1/work}/"
  unset KITDRIVES KITCONSOLE
  remit_dir=$1
}

# use_host NAME: from now on "${gen[@]}" is the driver on host NAME (pg only),
# with its own terminal directory under the root's DIR.
use_host() {
  [[ ${REMIT_BACKEND:-} == pg ]] || return 0
  local work="$remit_dir/work"
  [[ $1 == hostA ]] || work="$remit_dir/work-$1"
  if [[ ! -d $work ]]; then
    mkdir -p "$work"
    cp "$remit_dir/work/VelaTerm.ini" "$work/"
  fi
  # env, unshare and sh each exec the next: the driver keeps the pid that $!
  # gives, so that a kill reaches it.
  gen=(env "KITTMP=C:$work/" unshare --uts sh -c 'hostname "$0" && exec "$@"' "$1" "$driver")
}

# check_once RECEIPTS REMITTANCES SUFFIXES: every receipt exactly once;
# prints the driver's count line. On the server, no record file is left on
# this host.
check_once() {
  local out
  out=$("${gen[@]}" check "$@") || fail "$out"
  if [[ ${REMIT_BACKEND:-} == pg ]]; then
    [[ -z $(find "$remit_dir/root/DADES" -iname '*.dat' -print -quit) ]] ||
      fail "a record file was made on this host, not on the server"
  fi
  echo "$out"
}

# The test's database on the server dropped, when there is one (for the
# EXIT trap).
remit_drop() {
  if declare -F pg_drop > /dev/null; then pg_drop; fi
}
