# The --shape ntfs part of tools/bench/run, sourced by it after the program is built: $files,
# $dirs, $runs, $bench, $program, $repo, measure and ensure_tree come from there.

native_dir="$bench/tree-$files-$dirs"
case_dir="$bench/ntfs-$files-$dirs"
image="$case_dir/ntfs.img"
mnt="$case_dir/mnt"
# The image's version: an image made by an older one (or a tree generator of an older version) is
# made again.
image_version="$tree_version-1"
loop=

# The mount and the loop device go whatever ends the script; so do any this script left behind
# when it was killed. A scan that still reads the mount (the script alone was sent a signal, not
# its process group as a terminal's interrupt does) keeps it busy: the mount is then detached
# lazily and the loop device let go as soon as that scan ends.
release_volume() {
  if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" || umount -l "$mnt" || true; fi
  local device
  for device in $(losetup -j "$image" -O NAME -n 2>/dev/null); do losetup -d "$device" || true; done
  loop=
}
trap release_volume EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The image attached to a loop device and mounted there by ntfs-3g (a fuseblk mount) with OPTIONS.
mount_volume() {
  loop=$(losetup --find --show "$image") || { echo "run: no loop device for $image" >&2; exit 1; }
  mkdir -p "$mnt"
  ntfs-3g -o "$1" "$loop" "$mnt" || { echo "run: ntfs-3g cannot mount $loop at $mnt" >&2; exit 1; }
}

# A sparse image, big enough for the tables and the real data of the tree (its large files are
# sparse, and stay so on NTFS), filled in one process by make-tree through a read-write mount.
make_image() {
  echo "== Making the NTFS volume $image and filling it through ntfs-3g (some minutes)"
  rm -f "$case_dir/ntfs.complete" "$image"
  truncate -s 16G "$image"
  mkntfs -F -q -f -L hoardscan-bench "$image" >/dev/null 2>&1 || { echo "run: mkntfs failed on $image" >&2; exit 1; }
  mount_volume rw,noatime
  local started=$SECONDS
  "$repo/tools/bench/make-tree" "$mnt/tree" "$files" "$dirs" tree
  echo "   filled in $(( SECONDS - started )) s, $(du -h "$image" | cut -f1) of the image written"
  release_volume
  echo "$image_version" >"$case_dir/ntfs.complete"
}

ensure_tree "$native_dir" tree
mkdir -p "$case_dir"
release_volume
[[ "$(cat "$case_dir/ntfs.complete" 2>/dev/null)" == "$image_version" ]] || make_image
mount_volume ro,noatime

# ---- three installations: the native tree, the volume walked, the volume read from its table ----
tools/bench/make-installation "$native_dir/tree" "$case_dir/install-native"
HOARDSCAN_MFT=off tools/bench/make-installation "$mnt/tree" "$case_dir/install-walk"
HOARDSCAN_MFT=auto tools/bench/make-installation "$mnt/tree" "$case_dir/install-table"
unset QUILNA_ENV
scan_with() {  # OUT INSTALL: the whole scan of one installation
  local install=$2
  rm -f "$install"/results/* "$install"/side/*
  measure "$1" env QUILNA_REGISTRY_ROOT="$install/registry" QUILNA_RUNTIME_DIR="$install/runtime" \
    "$program" -c "$install/conf/hoardscan.conf"
}

times="$case_dir/times"
rm -rf "$times"
mkdir -p "$times"
turn() {  # one run of each, in this order, into $times/<prefix><way>
  local way
  for way in native walk table; do scan_with "$times/$1$way" "$case_dir/install-$way"; done
}
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== Warming up (load average $load_before)"
turn warm-
echo "== $runs runs of each, in turns"
for (( i = 1; i <= runs; ++i )); do turn ""; done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The way each scan of the volume read it, as its log names it (the last run's line for the mount).
way_read() {
  local said
  said=$(cat "$1"/log/* 2>/dev/null | grep -a -F "File system $mnt " |
    grep -a -o -E 'read from its master file table|walked: .*' | tail -n 1 || true)
  echo "${said:-the log does not say}"
}
counted() {
  local data
  data=$(ls "$1"/results/*.data 2>/dev/null | head -n 1)
  [[ -n "$data" ]] || { echo "run: the scan left no .data file (see $1/log/)" >&2; exit 1; }
  awk -F: 'NR % 2 == 0 { n += $2 } END { printf "%d", n }' "$data"
}

echo
echo "Tree: $files files in $dirs directories, on the machine's own file system ($native_dir/tree)"
echo "      and on NTFS ($image: $(du -h "$image" | cut -f1) used, mounted by ntfs-3g at $mnt)"
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"\
     "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); load average before: $load_before, after: $load_after"
echo "Program: $program; files counted: native $(counted "$case_dir/install-native"),"\
     "walked $(counted "$case_dir/install-walk"), table $(counted "$case_dir/install-table")"
echo "NTFS walked (hoardscan.mft off): $(way_read "$case_dir/install-walk")"
echo "NTFS table (hoardscan.mft auto): $(way_read "$case_dir/install-table")"
paste -d' ' "$times/native" "$times/walk" "$times/table" | awk -v files="$files" -v entries=$(( files + dirs )) '
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  function spread(a, n,   i, lo, hi) {
    lo = hi = a[1]
    for (i = 2; i <= n; ++i) { if (a[i] < lo) lo = a[i]; if (a[i] > hi) hi = a[i] }
    return sprintf("%.3f-%.3f", lo, hi)
  }
  BEGIN { split("native walk|NTFS walk|NTFS table", name, "|") }
  {
    n++
    for (t = 1; t <= 3; ++t) { time[t, n] = $(2 * t - 1) / 1e6; rss[t, n] = $(2 * t) }
  }
  END {
    printf "%-11s %10s %15s %12s %10s %14s\n", "", "median s", "spread s", "files/s", "max RSS", "it/native"
    for (t = 1; t <= 3; ++t) {
      delete a; delete r; most = 0
      for (i = 1; i <= n; ++i) { a[i] = time[t, i]; r[i] = time[t, i] / time[1, i]; if (rss[t, i] > most) most = rss[t, i] }
      m[t] = median(a, n)
      printf "%-11s %10.3f %15s %12.0f %6.1f MiB %14s\n", name[t], m[t], spread(a, n), files / m[t], most / 1024,
             (t > 1 ? sprintf("%.2f", median(r, n)) : "")
    }
    printf "NTFS table: %.0f records a second (%d files and directories, medians over %d turns)\n",
           entries / m[3], entries, n
  }'
