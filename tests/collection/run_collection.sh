#!/usr/bin/env bash
# The collection test: fetch (once) MAME's software lists and check the tool
# on all of them, as by default and with --disks. Usage: run_collection.sh TOOL
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=$("$here/fetch_lists.sh")
client="$here/../dat_client"
if [ -f "$client/package.json" ] && command -v npm >/dev/null && [ ! -d "$client/node_modules/robloach-datfile" ]; then
    (cd "$client" && npm ci --no-audit --no-fund >&2)
fi
python3 "$here/collection_test.py" "$1" "$lists" "$client"
python3 "$here/collection_test.py" --disks "$1" "$lists" "$client"
