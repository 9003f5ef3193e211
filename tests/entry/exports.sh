#!/bin/sh
# The shared library's dynamic symbol table defines BREditDialog and nothing else of ours.
set -eu
lib="$1"
defined=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v '^$' | sort -u)
if [ "$defined" != "BREditDialog" ]; then
  echo "exported besides BREditDialog:"; echo "$defined" | grep -v '^BREditDialog$' | head -20
  exit 1
fi
