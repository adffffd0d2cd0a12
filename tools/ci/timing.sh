# Sourced by the CI scripts: runs one stage and reports its wall time and the processor time of
# its processes (on a shared machine the latter says what the stage costs), also into the file
# named by HOARDSCAN_STAGE_TIMES when that is set (tools/test-all prints them all at the end).
# Usage: timed "stage name" command [argument...]

# Sets children_cpu to the processor seconds (user and system) of the finished child processes
# of this shell so far. "times" must run in this shell itself, not in a command substitution.
children_cpu=0
read_children_cpu() {
  local record
  record=$(mktemp "${TMPDIR:-/tmp}/quilna-times.XXXXXX")
  times >"$record"
  children_cpu=$(awk 'END { t = 0; for (i = 1; i <= NF; i++) { split($i, p, "m"); sub("s", "", p[2]); t += p[1] * 60 + p[2] }
                            printf "%d", t }' "$record")
  rm -f "$record"
}

timed() {
  local name=$1 start=$SECONDS cpu_start status=0
  shift
  read_children_cpu
  cpu_start=$children_cpu
  "$@" || status=$?
  read_children_cpu
  local took=$((SECONDS - start)) cpu=$((children_cpu - cpu_start))
  local line
  line=$(printf '%-16s %3d min %02d s, processor %3d min %02d s%s' "$name" $((took / 60)) $((took % 60)) \
    $((cpu / 60)) $((cpu % 60)) "$([[ $status -ne 0 ]] && echo '  FAILED')")
  echo "== $line"
  if [[ -n "${HOARDSCAN_STAGE_TIMES:-}" ]]; then
    echo "$line" >>"$HOARDSCAN_STAGE_TIMES"
  fi
  return $status
}
