#!/usr/bin/env bash
# The whole graph against what users would run instead. Composes the same
# 1080p uncompressed AVI files (bgr24, made here with ffmpeg) in one run:
#   ours, blend     ovlcompose: the second video at 50 % opacity over the main
#                   one (whole frame, no ellipse, no image), strip workers
#                   automatic and capped to 1 (OVL_STRIP_WORKERS=1)
#   ours, main only the same graph with the main video alone: file source,
#                   splitter, filter copying one layer, grabber, AVI writing
#   ffmpeg, blend   ffmpeg's overlay filter doing the same blend (the second
#                   video's alpha set to 50 %), one thread
#   ffmpeg, copy    ffmpeg reading and writing the main video alone
# Every configuration runs on a long and a short pair of files; the time per
# frame is the difference over the difference in frames, so process start-up
# (Wine's above all), graph building and the PNG snapshot drop out. Both the
# wall-clock time and the CPU time of the process (user + system, all its
# threads; Wine's server is not counted) are taken: on a shared machine the
# wall-clock also holds the time others took. The configurations take turns
# within each run, so a change of load hits them alike. Prints a Markdown
# table of medians and ranges over the runs.
#
#   bench/end_to_end.sh [runs]          (default 5; OVL_E2E_FRAMES=100)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
runs="${1:-5}"
long="${OVL_E2E_FRAMES:-100}"
short=10

missing=()
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
echo "== building the module and ovlcompose (Windows x64)"
scripts/build.sh windows KMVVOvLy2x ovlcompose >/dev/null
# Files in memory (tmpfs): the disk's write-back, which stalls whichever
# program writes when it falls behind, would otherwise decide the times.
work="${OVL_E2E_DIR:-/dev/shm/ovl-e2e}"
mkdir -p "$work"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

for n in "$long" "$short"; do
  [ -s "$work/main$n.avi" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25" \
    -frames:v "$n" -c:v rawvideo -pix_fmt bgr24 "$work/main$n.avi"
  [ -s "$work/second$n.avi" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=size=1920x1080:rate=25" \
    -frames:v "$n" -c:v rawvideo -pix_fmt bgr24 "$work/second$n.avi"
done

source scripts/wine-session.sh
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
/usr/lib/wine/wine64 regsvr32 /s "$(winpath "$root/build/windows/server/KMVVOvLy2x.dll")"
composer="$root/build/windows/tools/ovlcompose.exe"

# One configuration on `n`-frame files; prints its wall-clock seconds and
# the CPU seconds (user + system) of its process.
run() {
  local config="$1" n="$2" main second out
  main="$work/main$n.avi" second="$work/second$n.avi" out="$work/out-$config.avi"
  local timed=(/usr/bin/time -f "%e %U %S" -o "$work/time.txt")
  case "$config" in
    ours-blend|ours-blend-1)
      "${timed[@]}" env OVL_STRIP_WORKERS=$([ "$config" = ours-blend-1 ] && echo 1 || echo 0) \
        /usr/lib/wine/wine64 "$composer" --quiet --input "$(winpath "$main")" --second "$(winpath "$second")" \
        --second-at 0,0 --second-opacity 50 --no-ellipse --no-image \
        --out "$(winpath "$out")" --png "$(winpath "$work/snapshot.png")" >/dev/null ;;
    ours-main)
      "${timed[@]}" /usr/lib/wine/wine64 "$composer" --quiet --input "$(winpath "$main")" --no-second --no-image \
        --out "$(winpath "$out")" --png "$(winpath "$work/snapshot.png")" >/dev/null ;;
    ffmpeg-blend)
      "${timed[@]}" ffmpeg -nostdin -loglevel error -y -threads 1 -filter_threads 1 -i "$main" -i "$second" \
        -filter_complex "[1:v]format=argb,colorchannelmixer=aa=0.5[top];[0:v][top]overlay=0:0:format=rgb,format=bgr24" \
        -c:v rawvideo -f avi "$out" ;;
    ffmpeg-copy)
      "${timed[@]}" ffmpeg -nostdin -loglevel error -y -threads 1 -filter_threads 1 -i "$main" \
        -c:v rawvideo -pix_fmt bgr24 -f avi "$out" ;;
  esac
  awk '{printf "%.3f %.3f", $1, $2 + $3}' "$work/time.txt"
}

configs=(ours-main ours-blend ours-blend-1 ffmpeg-copy ffmpeg-blend)
results="$work/results.txt"
: > "$results"
for r in $(seq 1 "$runs"); do
  for c in "${configs[@]}"; do
    read -r wl cl <<< "$(run "$c" "$long")"
    read -r ws cs <<< "$(run "$c" "$short")"
    per=$(awk -v a="$wl" -v b="$ws" -v c="$cl" -v d="$cs" -v n="$long" -v m="$short" \
      'BEGIN {printf "%.2f %.2f", 1000 * (a - b) / (n - m), 1000 * (c - d) / (n - m)}')
    rm -f "$work/out-$c.avi"
    echo "$r $c $per" >> "$results"
    echo "run $r: $c, ms per frame (wall, CPU): $per"
  done
done

echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) CPUs;" \
  "load average at the end $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')."
echo "1920x1080 bgr24, $long and $short frames; $runs runs."
echo
# Per configuration, and per difference of two taken run by run: the median
# and the range over the runs, wall-clock and CPU.
awk -v runs="$runs" '
  { wall[$1, $2] = $3; cpu[$1, $2] = $4 }
  function stat(t, a, b,    r, n, v, i, j, x) {
    n = 0
    for (r = 1; r <= runs; ++r) {
      x = t == "wall" ? (b == "" ? wall[r, a] : wall[r, a] - wall[r, b]) : (b == "" ? cpu[r, a] : cpu[r, a] - cpu[r, b])
      v[++n] = x
    }
    for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { x = v[j]; v[j] = v[j - 1]; v[j - 1] = x }
    return sprintf("%.1f (%.1f–%.1f)", n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2, v[1], v[n])
  }
  function row(name, a, b) { printf "| %s | %s | %s |\n", name, stat("wall", a, b), stat("cpu", a, b) }
  END {
    print "| configuration | wall-clock ms per frame, median (range) | CPU ms per frame, median (range) |"
    print "|---|---:|---:|"
    row("ours: main video only (the graph itself)", "ours-main", "")
    row("ours: second video at 50 %, automatic strip workers", "ours-blend", "")
    row("ours: second video at 50 %, one strip worker", "ours-blend-1", "")
    row("ffmpeg: main video copied", "ffmpeg-copy", "")
    row("ffmpeg: overlay at 50 %, one thread", "ffmpeg-blend", "")
    row("**added cost of the blend, ours (automatic workers)**", "ours-blend", "ours-main")
    row("**added cost of the blend, ours (one worker)**", "ours-blend-1", "ours-main")
    row("**added cost of the blend, ffmpeg**", "ffmpeg-blend", "ffmpeg-copy")
  }' "$results"
cp "$results" "$root/build/end_to_end_results.txt"
