#!/bin/bash
# The generation's kill test on the database server, two hosts sharing the
# root (remit_kill_e2e.sh with REMIT_BACKEND=pg).
REMIT_BACKEND=pg exec bash "$(dirname "$0")/remit_kill_e2e.sh"
