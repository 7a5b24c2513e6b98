#!/usr/bin/env bash
# Writes a demo root for the desktop host: the configuration (RIPPER the
# built lumoripper, RIPDIR under the root), a genre file and a local station
# file; the favourites file is created empty and kept between runs.
#   make-demo-root.sh ROOT BUILD_DIR [DIRECTORY_HOST:PORT]
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: make-demo-root.sh ROOT BUILD_DIR [DIRECTORY_HOST:PORT]" >&2
  exit 2
fi
mkdir -p "$1"
root=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
directory=${3:-localhost:8370}
ripper=$build/tools/lumoripper/lumoripper
[ -x "$ripper" ] || echo "make-demo-root: note: $ripper is not built yet" >&2
conf=$root/var/tuxbox/config/oruvel
mkdir -p "$conf" "$root/tmp" "$root/dev/dbox" "$root/music"
cat >"$conf/oruvel.conf" <<CONF
RIPPER=$ripper
RIPDIR=$root/music
STATIONSFILE=$conf/stations.xml
MYSTATIONFILE=$conf/lumostations.xml
MYPLAYLISTFILE=$conf/playlist.m3u
MYGENREFILE=$conf/genre.xml
LUMOPIC=$conf/radio.mvi
CONF
cat >"$conf/genre.xml" <<'GENRES'
<?xml version="1.0" encoding="UTF-8"?>
<genrelist>
<genre name="Pop"></genre>
<genre name="Rock"></genre>
<genre name="Jazz"></genre>
<genre name="Metal"></genre>
<genre name="Classical"></genre>
<genre name="Electronic"></genre>
<genre name="Drum & Bass"></genre>
<genre name="R&B"></genre>
<genre name="Música Latina"></genre>
<genre name="Talk"></genre>
<genre name="Country"></genre>
<genre name="World"></genre>
<genre name="Oddities"></genre>
</genrelist>
GENRES
# Local stations: two lines each, the name and the tune-in address (only
# the id counts; the directory host is the one the plug-in talks to).
cat >"$conf/stations.xml" <<STATIONS
<?xml version="1.0" encoding="UTF-8"?>
<stations>
<station name="Smooth Harbour Jazz"
url="http://$directory/sbin/tunein-station.pls?id=1201&amp;filename=playlist.pls"/>
<station name="Radio Kestrel Rock"
url="http://$directory/sbin/tunein-station.pls?id=1001&amp;filename=playlist.pls"/>
</stations>
STATIONS
[ -e "$conf/lumostations.xml" ] || : >"$conf/lumostations.xml"
# A still picture stands in for the receiver's MPEG I-frame.
[ -e "$conf/radio.mvi" ] || printf 'oruvel still picture\n' >"$conf/radio.mvi"
echo "$root"
