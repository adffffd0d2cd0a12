# Sourced by the CI scripts: runs one stage and reports its wall time, also into the file named
# by HOARDSCAN_STAGE_TIMES when that is set (tools/test-all prints them all at the end).
# Usage: timed "stage name" command [argument...]
timed() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  local took=$((SECONDS - start))
  printf '== %s: %d min %02d s\n' "$name" $((took / 60)) $((took % 60))
  if [[ -n "${HOARDSCAN_STAGE_TIMES:-}" ]]; then
    printf '%-18s %4d min %02d s%s\n' "$name" $((took / 60)) $((took % 60)) \
      "$([[ $status -ne 0 ]] && echo '  (failed)')" >>"$HOARDSCAN_STAGE_TIMES"
  fi
  return $status
}
