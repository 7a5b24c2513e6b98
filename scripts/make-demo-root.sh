#!/usr/bin/env bash
# Writes a demo root: configuration, genre file and a local station file.
# make-demo-root.sh ROOT BUILD_DIR
set -euo pipefail
root=$1; build=$(cd "$2" && pwd)
conf=$root/var/tuxbox/config/oruvel
mkdir -p "$conf" "$root/tmp" "$root/dev/dbox" "$root/music"
cat >"$conf/oruvel.conf" <<CONF
RIPPER=$build/tools/lumoripper/lumoripper
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
<genre name="Blues"></genre>
<genre name="Country"></genre>
<genre name="Reggae"></genre>
<genre name="Ambient"></genre>
<genre name="Folk"></genre>
<genre name="Soul"></genre>
</genrelist>
GENRES
[ -e "$conf/stations.xml" ] || cat >"$conf/stations.xml" <<STATIONS
<stations>
<station name="Oruvel Demo Jazz"
url="http://localhost/sbin/tunein-station.pls?id=1001&amp;filename=playlist.pls"/>
<station name="Oruvel Demo Rock"
url="http://localhost/sbin/tunein-station.pls?id=2001&amp;filename=playlist.pls"/>
</stations>
STATIONS
touch "$conf/lumostations.xml"
# A still picture stands in for the receiver's MPEG I-frame.
[ -e "$conf/radio.mvi" ] || printf 'oruvel still picture\n' >"$conf/radio.mvi"
