#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on a scratch copy of its seed corpus (the seeds in
# the source tree are never written to) and of its saved crash inputs.
#   run_fuzz.sh TARGET SEED_DIR SECONDS [REGRESSION_DIR]
# A crash input found is kept under fuzz-artifacts/ in the current directory.
set -euo pipefail
target="$1"
seeds="$2"
seconds="$3"
regressions="${4:-}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
cp "$seeds"/* "$work/corpus/"
if [ -n "$regressions" ] && [ -d "$regressions" ]; then
  cp "$regressions"/* "$work/corpus/" 2>/dev/null || true
fi

name="$(basename "$target")"
mkdir -p fuzz-artifacts
"$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="fuzz-artifacts/$name-" "$work/corpus"
