#!/bin/bash
# The generation's concurrency test on the database server, the two
# generations on two hosts sharing the root (remit_concurrency_e2e.sh with
# REMIT_BACKEND=pg). The server's default isolation is serializable, as an
# office may set it: the groups' transactions must still read what the
# other workstation committed before they began.
export PGOPTIONS="-c default_transaction_isolation=serializable"
REMIT_BACKEND=pg exec bash "$(dirname "$0")/remit_concurrency_e2e.sh"
