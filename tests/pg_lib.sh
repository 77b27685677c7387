# What the tests on the database server share, sourced by them: a database
# of their own on the server that QDEB_TEST_PG names (scripts/test starts one
# with scripts/pg-test-server), dropped at the end, and KITDB naming it.
# Without a server the test fails with the reason: never skipped.
pg_fail() { echo "FAIL: $*" >&2; exit 1; }
[[ -n ${QDEB_TEST_PG:-} ]] ||
  pg_fail "no database server for this test: QDEB_TEST_PG is empty (${QDEB_TEST_PG_ERROR:-start one with: export QDEB_TEST_PG=\$(bash scripts/pg-test-server start)})"
command -v psql > /dev/null || pg_fail "psql is missing (bash scripts/install-deps)"
pg_database=qdeb_t$$_$RANDOM
psql -q -X -v ON_ERROR_STOP=1 "$QDEB_TEST_PG" -c "CREATE DATABASE $pg_database" > /dev/null 2> "${TMPDIR:-/tmp}/$pg_database.err" ||
  pg_fail "the server that QDEB_TEST_PG names cannot be used: $(cat "${TMPDIR:-/tmp}/$pg_database.err")"
rm -f "${TMPDIR:-/tmp}/$pg_database.err"
# libpq takes the last of a repeated keyword.
export KITDB="$QDEB_TEST_PG dbname=$pg_database"
pg_drop() {
  psql -q -X "$QDEB_TEST_PG" -c "DROP DATABASE IF EXISTS $pg_database WITH (FORCE)" > /dev/null 2>&1 || true
}
