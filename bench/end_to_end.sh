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
# (Wine's above all), graph building and the PNG snapshot drop out. The
# configurations take turns within each run, so a change of load on a shared
# machine hits them alike. Prints a Markdown table of ranges over the runs.
#
#   bench/end_to_end.sh [runs]          (default 3; OVL_E2E_FRAMES=100)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
runs="${1:-3}"
long="${OVL_E2E_FRAMES:-100}"
short=10

if ! command -v ffmpeg >/dev/null; then
  echo "== installing ffmpeg"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ffmpeg >/dev/null
fi
echo "== building the module and ovlcompose (Windows x64)"
scripts/build.sh windows KMVVOvLy2x ovlcompose >/dev/null
work="$root/build/e2e"
mkdir -p "$work"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

for n in "$long" "$short"; do
  [ -s "$work/main$n.avi" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25" \
    -frames:v "$n" -c:v rawvideo -pix_fmt bgr24 "$work/main$n.avi"
  [ -s "$work/second$n.avi" ] || ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=size=1920x1080:rate=25" \
    -frames:v "$n" -c:v rawvideo -pix_fmt bgr24 "$work/second$n.avi"
done

source scripts/wine-session.sh
/usr/lib/wine/wine64 regsvr32 /s "$(winpath "$root/build/windows/server/KMVVOvLy2x.dll")"
composer="$root/build/windows/tools/ovlcompose.exe"

# One configuration on `n`-frame files; prints the seconds it took.
run() {
  local config="$1" n="$2" main second out
  main="$work/main$n.avi" second="$work/second$n.avi" out="$work/out-$config.avi"
  local start end
  start=$(date +%s.%N)
  case "$config" in
    ours-blend|ours-blend-1)
      OVL_STRIP_WORKERS=$([ "$config" = ours-blend-1 ] && echo 1 || echo 0) \
        /usr/lib/wine/wine64 "$composer" --quiet --input "$(winpath "$main")" --second "$(winpath "$second")" \
        --second-at 0,0 --second-opacity 50 --no-ellipse --no-image \
        --out "$(winpath "$out")" --png "$(winpath "$work/snapshot.png")" >/dev/null ;;
    ours-main)
      /usr/lib/wine/wine64 "$composer" --quiet --input "$(winpath "$main")" --no-second --no-image \
        --out "$(winpath "$out")" --png "$(winpath "$work/snapshot.png")" >/dev/null ;;
    ffmpeg-blend)
      ffmpeg -nostdin -loglevel error -y -threads 1 -filter_threads 1 -i "$main" -i "$second" -filter_complex \
        "[1:v]format=argb,colorchannelmixer=aa=0.5[top];[0:v][top]overlay=0:0:format=rgb,format=bgr24" \
        -c:v rawvideo -f avi "$out" ;;
    ffmpeg-copy)
      ffmpeg -nostdin -loglevel error -y -threads 1 -filter_threads 1 -i "$main" \
        -c:v rawvideo -pix_fmt bgr24 -f avi "$out" ;;
  esac
  end=$(date +%s.%N)
  echo "$end - $start" | awk '{printf "%.4f", $1 - $3}'
}

configs=(ours-main ours-blend ours-blend-1 ffmpeg-copy ffmpeg-blend)
results="$work/results.txt"
: > "$results"
for r in $(seq 1 "$runs"); do
  for c in "${configs[@]}"; do
    tl=$(run "$c" "$long")
    ts=$(run "$c" "$short")
    ms=$(awk -v a="$tl" -v b="$ts" -v n="$long" -v m="$short" 'BEGIN {printf "%.2f", 1000 * (a - b) / (n - m)}')
    echo "$r $c $ms" >> "$results"
    echo "run $r: $c ${ms} ms per frame (${tl} s for $long frames, ${ts} s for $short)"
  done
done
rm -f "$work"/out-*.avi

echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) CPUs;" \
  "load average at the end $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')."
echo "1920x1080 bgr24, $long and $short frames; $runs runs; ranges over the runs."
echo
awk -v runs="$runs" '
  { ms[$1, $2] = $3 }
  function range(name, a, b,    r, v, lo, hi) {
    lo = 1e9; hi = -1e9
    for (r = 1; r <= runs; ++r) {
      v = b == "" ? ms[r, a] : ms[r, a] - ms[r, b]
      if (v < lo) lo = v
      if (v > hi) hi = v
    }
    printf "| %s | %.1f–%.1f |\n", name, lo, hi
  }
  END {
    print "| configuration | ms per frame |"
    print "|---|---:|"
    range("ours: main video only (the graph itself)", "ours-main", "")
    range("ours: second video at 50 %, automatic strip workers", "ours-blend", "")
    range("ours: second video at 50 %, one strip worker", "ours-blend-1", "")
    range("ffmpeg: main video copied", "ffmpeg-copy", "")
    range("ffmpeg: overlay at 50 %, one thread", "ffmpeg-blend", "")
    range("**added cost of the blend, ours (automatic workers)**", "ours-blend", "ours-main")
    range("**added cost of the blend, ours (one worker)**", "ours-blend-1", "ours-main")
    range("**added cost of the blend, ffmpeg**", "ffmpeg-blend", "ffmpeg-copy")
  }' "$results"
