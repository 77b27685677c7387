#!/bin/bash
# The generation's concurrency test on the database server, the two
# generations on two hosts sharing the root (remit_concurrency_e2e.sh with
# REMIT_BACKEND=pg).
REMIT_BACKEND=pg exec bash "$(dirname "$0")/remit_concurrency_e2e.sh"
