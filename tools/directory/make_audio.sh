#!/usr/bin/env bash
# Renders the stand-in streams' audio: an eight-second loop of four soft
# chords, encoded once per bitrate as tone-<kbps>.mp3 without bit
# reservoir, so the server can loop the frames and start anywhere; and an
# eight-second 440 Hz tone as sine-<kbps>.<ext> in MP3, AAC (ADTS, ffmpeg),
# Ogg Vorbis (oggenc) and Ogg Opus (opusenc) for the stations of those
# formats. Needs sox and lame; a format whose encoder is missing is left
# out with a word. Files already there are kept unless --force.
set -euo pipefail

usage() {
  cat <<EOF
usage: make_audio.sh [--audio-dir DIR] [--force] [KBPS...]
  --audio-dir DIR  where to put tone-<kbps>.mp3 (default: ${XDG_CACHE_HOME:-$HOME/.cache}/oruvel-standin,
                   which is also oruvel-directory's default)
  --force          render again even when a file exists
  KBPS...          bitrates to render (default: every Layer III bitrate from 8 to 320)
EOF
}

dir=${XDG_CACHE_HOME:-$HOME/.cache}/oruvel-standin
force=0
rates=()
while [ $# -gt 0 ]; do
  case $1 in
    --audio-dir) dir=${2:?--audio-dir needs a folder}; shift 2 ;;
    --force) force=1; shift ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "make_audio.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) rates+=("$1"); shift ;;
  esac
done
[ ${#rates[@]} -gt 0 ] || rates=(8 16 24 32 40 48 56 64 80 96 112 128 144 160 192 224 256 320)
for tool in sox lame; do
  command -v "$tool" >/dev/null || { echo "make_audio.sh: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# C major, A minor, F major, G major: root an octave down, each chord
# faded in and out so the loop's seam is quiet.
chord() {
  sox -n -r 44100 -b 16 "$work/$1.wav" synth 2 sine "$2" sine "$3" sine "$4" sine "$5" \
    remix - fade h 0.15 2 0.5 gain -n -8
}
chord c 130.81 261.63 329.63 392.00
chord a 110.00 220.00 261.63 329.63
chord f 87.31 174.61 220.00 261.63
chord g 98.00 196.00 246.94 293.66
sox "$work/c.wav" "$work/a.wav" "$work/f.wav" "$work/g.wav" "$work/loop.wav"

for kbps in "${rates[@]}"; do
  out="$dir/tone-$kbps.mp3"
  [ $force -eq 0 ] && [ -s "$out" ] && continue
  case $kbps in
    8|16|24|144) resample=22.05 ;;   # only the half sample rates have these
    *) resample=44.1 ;;
  esac
  # written beside its final name, so the rename is atomic for a running server
  part="$dir/.tone-$kbps.mp3.$$"
  lame --quiet --nores -t --cbr -b "$kbps" -m m --resample "$resample" "$work/loop.wav" "$part"
  mv "$part" "$out"
done

# The tone stations: 440 Hz, eight seconds; name, encoder, command.
sox -n -r 44100 -b 16 -c 2 "$work/sine.wav" synth 8 sine 440 gain -n -12
sox "$work/sine.wav" -c 1 "$work/sine-mono.wav"
sox "$work/sine-mono.wav" -r 32000 "$work/sine-mono32.wav"
tone() {  # tone FILE PACKAGE COMMAND...
  local out=$dir/$1 package=$2
  shift 2
  [ $force -eq 0 ] && [ -s "$out" ] && return 0
  if ! command -v "$1" >/dev/null; then
    echo "make_audio.sh: $1 is missing, so no $out (apt-get install $package)" >&2
    return 0
  fi
  local part="$dir/.${out##*/}.$$"
  "$@" "$part" && mv "$part" "$out"
}
tone sine-128.mp3 lame lame --quiet --nores -t --cbr -b 128 "$work/sine-mono.wav"
tone sine-128.aac ffmpeg ffmpeg -nostdin -loglevel error -y -i "$work/sine.wav" -c:a aac -b:a 128k -f adts
tone sine-64.aac ffmpeg ffmpeg -nostdin -loglevel error -y -i "$work/sine-mono32.wav" -c:a aac -b:a 64k -f adts
tone sine-128.ogg vorbis-tools oggenc -Q --managed -b 128 -m 128 -M 128 "$work/sine.wav" -o
tone sine-96.opus opus-tools opusenc --quiet --hard-cbr --bitrate 96 "$work/sine.wav"
# The HLS station on demand: the tone as two-second MPEG-TS segments of AAC.
if [ $force -eq 1 ] || [ ! -s "$dir/hls-128-0.ts" ]; then
  if command -v ffmpeg >/dev/null; then
    rm -f "$dir"/hls-128-*.ts
    ffmpeg -nostdin -loglevel error -y -i "$work/sine.wav" -c:a aac -b:a 128k -f segment -segment_time 2 \
      -segment_format mpegts "$work/hls-128-%d.ts" && mv "$work"/hls-128-*.ts "$dir/"
  else
    echo "make_audio.sh: ffmpeg is missing, so no HLS segments (apt-get install ffmpeg)" >&2
  fi
fi
echo "audio loops in $dir"
