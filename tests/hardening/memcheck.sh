#!/bin/sh
# Runs a test program under valgrind memcheck: any invalid read or write, use
# of uninitialised memory, bad free, or leak (definite, indirect or possible)
# fails the run, as does a failing test.
#
#   tests/hardening/memcheck.sh PROGRAM [ARGUMENTS...]
#
# The suppressions in valgrind.supp beside this script say what each covers
# and why.
set -eu
exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
  --suppressions="$(dirname "$0")/valgrind.supp" --child-silent-after-fork=yes --num-callers=30 "$@"
