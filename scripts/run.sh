#!/usr/bin/env bash
# Sets up the machine, builds, and runs Oruvel in the desktop host against
# the local station directory (offline catalogue). Extra arguments go to
# oruvel-host.
#   ORUVEL_DEMO_ROOT  the demo root (default: demo-root in the checkout)
#   ORUVEL_ONLINE=1   the local directory serves Radio Browser's real stations
#                     and genres instead (the offline catalogue when no
#                     server answers)
#   ORUVEL_RELAY=1    the local directory lists only MP3 as the receiver plays
#                     it (--codecs MP3) and relays every other station (--relay)
#   ORUVEL_DIRECTORY  another station directory (host:port); none is started
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [ ! -t 0 ] || [ ! -t 1 ]; then
  echo "run.sh: run me in a terminal: Oruvel is drawn there" >&2
  exit 2
fi
scripts/setup.sh
echo "run.sh: building (the first time takes a few minutes)"
scripts/build.sh build
root=${ORUVEL_DEMO_ROOT:-$top/demo-root}
mkdir -p "$root"

standin=
address=${ORUVEL_DIRECTORY:-}
portfile=$(mktemp)
online_genres=
cleanup() {
  # A ripper the demo started and left recording: the PID in its own file,
  # and only when that process really is our lumoripper on our RIPDIR.
  pid=$(awk '{print $1; exit}' "$root/tmp/lumopid" 2>/dev/null | tr -dc 0-9 || true)
  if [ -n "$pid" ] && [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$top/build/tools/lumoripper/lumoripper" ] &&
     tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$root/music"; then
    echo "run.sh: stopping the ripper (PID $pid)"
    kill "$pid" 2>/dev/null || true
  fi
  if [ -n "$standin" ]; then
    kill "$standin" 2>/dev/null || true
    wait "$standin" 2>/dev/null || true
  fi
  rm -f "$portfile" ${online_genres:+"$online_genres"}
}
trap cleanup EXIT

if [ -z "$address" ]; then
  directory_source=(--catalogue tools/directory/catalogue.txt)
  : >"$root/directory.log"
  if [ "${ORUVEL_ONLINE:-0}" = 1 ]; then
    echo "run.sh: asking Radio Browser for its genres"
    online_genres=$(mktemp)
    if python3 tools/directory/oruvel-directory --radio-browser auto \
         --write-genre-file "$online_genres" >/dev/null 2>"$root/directory.log"; then
      directory_source=(--radio-browser auto --request-log "$root/directory-requests.log")
    else
      echo "run.sh: no Radio Browser server answered ($(tail -n 1 "$root/directory.log"));" \
        "going on with the offline catalogue" >&2
      rm -f "$online_genres"
      online_genres=
    fi
  fi
  # Rendered audio when sox and lame can make it, silent frames otherwise.
  [ -n "$online_genres" ] || tools/directory/make_audio.sh >/dev/null 2>&1 || true
  if [ "${ORUVEL_RELAY:-0}" = 1 ]; then
    directory_source+=(--codecs MP3 --relay --relay-fetcher build/tools/icy/oruvel-fetch)
  fi
  python3 tools/directory/oruvel-directory --port 0 --address-file "$portfile" "${directory_source[@]}" \
    >>"$root/directory.log" 2>&1 &
  standin=$!
  for _ in $(seq 200); do [ -s "$portfile" ] && break; sleep 0.05; done
  if [ ! -s "$portfile" ]; then
    echo "run.sh: the station directory did not start; see $root/directory.log" >&2
    exit 1
  fi
  address=$(cat "$portfile")
  echo "run.sh: station directory (${directory_source[0]#--} ${directory_source[1]}) at $address"
fi
scripts/make-demo-root.sh "$root" "$top/build" "$address" >/dev/null
# Online, the genres are the catalogue's most used tags.
[ -z "$online_genres" ] || mv "$online_genres" "$root/var/tuxbox/config/oruvel/genre.xml"
set +e
build/tools/oruvel-host/oruvel-host --root "$root" --directory "$address" \
  --plugin build/liboruvel.so "$@"
status=$?
set -e
exit $status
