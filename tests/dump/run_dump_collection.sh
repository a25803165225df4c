#!/usr/bin/env bash
# The dump test on MAME's lists (fetched once): our dumps of them, and the
# dumps MAME makes itself where it is installed (tests/install_dependencies.sh).
# Usage: run_dump_collection.sh TOOL
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=$("$here/../collection/fetch_lists.sh")
mame=$(command -v mame || ls /usr/games/mame 2>/dev/null || true)
python3 "$here/dump_test.py" "$1" "$lists" --one coco_flop.xml ${mame:+--mame "$mame"}
