#!/bin/sh
# Small clips of one synthetic scene for the composer's decoding tests, made
# with ffmpeg into $1: the main video at 160x120, 25 frames per second, and
# the second at 96x64, 10 per second, each as H.264 MP4, VP8 WebM, MJPEG AVI
# and uncompressed 24-bit AVI (the reference the decoded runs are held to);
# a WebM with a Vorbis track beside the video; a WAV with no video at all.
set -eu
out="$1"
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
clip() {  # name size rate frames
  src="-f lavfi -i testsrc2=size=$2:rate=$3 -frames:v $4 -map_metadata -1"
  ff $src -c:v libx264 -profile:v baseline -pix_fmt yuv420p -crf 18 -g 10 -movflags +faststart "$1.mp4"
  ff $src -c:v libvpx -pix_fmt yuv420p -b:v 0 -crf 8 -g 10 -auto-alt-ref 0 "$1.webm"
  ff $src -c:v mjpeg -pix_fmt yuvj420p -q:v 3 "$1-mjpeg.avi"
  ff $src -c:v rawvideo -pix_fmt bgr24 "$1-rgb.avi"
}
clip main 160x120 25 10
clip second 96x64 10 5
ff -f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=22050:duration=0.4 \
   -frames:v 10 -map_metadata -1 -c:v libvpx -pix_fmt yuv420p -b:v 0 -crf 8 -g 10 -auto-alt-ref 0 \
   -c:a libvorbis -shortest main-with-audio.webm
ff -f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.5 -c:a pcm_s16le -map_metadata -1 no-video.wav
