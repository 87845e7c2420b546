#!/usr/bin/env bash
# Rewrites include/mcstat.h so that it includes every public header.
set -euo pipefail
cd "$(dirname "$0")/../include"
{
  echo "#ifndef MCSTAT_MCSTAT_H_"
  echo "#define MCSTAT_MCSTAT_H_"
  echo
  echo "// Everything the library exports."
  for h in $(ls *.h | grep -v '^mcstat.h$' | LC_ALL=C sort); do
    echo "#include \"$h\""
  done
  echo
  echo "#endif  // MCSTAT_MCSTAT_H_"
} > mcstat.h
