# Shared by the generation's end-to-end tests (sourced, not a test itself):
# a scratch installation root for the generation driver.
driver="$QDEB_BINARY_DIR/remit/generate_driver"
ddf="$QDEB_SOURCE_DIR/install/ddf"

fail() { echo "FAIL: $*" >&2; exit 1; }

# make_root DIR: DIR/root with the record dictionaries, the presenter's
# installation data and the data folder; DIR/work with the session's date.
make_root() {
  rm -rf "$1"
  mkdir -p "$1/root/ddf" "$1/root/DADES" "$1/work"
  cp "$ddf/TrasBanc.xdf" "$ddf/TRemeses.xdf" "$ddf/TGenerat.xdf" "$1/root/ddf/"
  printf '[Installacio]\r\nDada1=OFICINA DE COBRAMENTS\r\nDada7=B12345678\r\n' > "$1/root/Vela.ini"
  printf '[Sistema]\r\nData=20260115\r\n' > "$1/work/VelaTerm.ini"
}

# use_root DIR [WORK]: the driver's environment for that root.
use_root() {
  export KITROOT="C:$1/root/" KITTMP="C:${2:-$1/work}/"
  unset KITDRIVES KITCONSOLE
}

# check_once RECEIPTS REMITTANCES SUFFIXES: every receipt exactly once;
# prints the driver's count line.
check_once() {
  local out
  out=$("$driver" check "$@") || fail "$out"
  echo "$out"
}
