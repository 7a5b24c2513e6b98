#!/usr/bin/env bash
# CPU per megabyte of lumoripper against curl, both fetching the same unpaced
# MP3 stream from a local server onto disk: the two taken in turns, the
# median of the pairwise ratios printed. Usage:
#   bench/ripper_vs_curl.sh [LUMORIPPER] [MEGABYTES] [PAIRS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
ripper=${1:-$top/build/tools/lumoripper/lumoripper}
megabytes=${2:-200}
pairs=${3:-7}
for tool in curl ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "ripper_vs_curl: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -x "$ripper" ] || { echo "ripper_vs_curl: no lumoripper at $ripper (build first)" >&2; exit 1; }

work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT

# Five minutes of 128 kbit/s MP3, repeated to the size asked for.
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=300 -c:a libmp3lame -b:a 128k \
  -map_metadata -1 -write_xing 0 -id3v2_version 0 -f mp3 "$work/tone.mp3"
python3 - "$work/tone.mp3" "$work/www/stream.mp3" "$megabytes" <<'PY'
import os, sys
tone = open(sys.argv[1], "rb").read()
os.makedirs(os.path.dirname(sys.argv[2]))
with open(sys.argv[2], "wb") as out:
    for _ in range(int(sys.argv[3]) * 1024 * 1024 // len(tone)):
        out.write(tone)
PY

python3 - "$work" <<'PY' &
import http.server, os, sys, functools
work = sys.argv[1]
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def guess_type(self, path):
        return "audio/mpeg"
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=work + "/www"))
with open(work + "/port.tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(work + "/port.tmp", work + "/port")
server.serve_forever()
PY
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/stream.mp3"

python3 - "$work" "$url" "$ripper" "$pairs" <<'PY'
import os, shutil, statistics, subprocess, sys
work, url, ripper, pairs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
expected = os.path.getsize(work + "/www/stream.mp3")

def cpu_per_mb(argv, produced):
    shutil.rmtree(work + "/out", ignore_errors=True)
    os.makedirs(work + "/out")
    env = dict(os.environ, ORUVEL_ROOT=work + "/root")
    os.makedirs(work + "/root/tmp", exist_ok=True)
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(proc.pid, 0)
    files = [os.path.join(d, f) for d, _, fs in os.walk(work + "/out") for f in fs]
    # The ripper's file starts with its tag (well under 4 KB here).
    if status != 0 or len(files) != 1 or not expected <= os.path.getsize(files[0]) < expected + 4096:
        sys.exit("ripper_vs_curl: %s did not write the whole stream (status %d, %s)" % (argv[0], status, [(f, os.path.getsize(f)) for f in files]))
    return (usage.ru_utime + usage.ru_stime) / (expected / 1e6)

ripper_cmd = [ripper, url, "-d", work + "/out"]
curl_cmd = ["curl", "-s", "-o", work + "/out/stream.mp3", url]
cpu_per_mb(ripper_cmd, 1), cpu_per_mb(curl_cmd, 1)  # warm-up
ratios, rip, curl = [], [], []
for _ in range(pairs):
    rip.append(cpu_per_mb(ripper_cmd, 1))
    curl.append(cpu_per_mb(curl_cmd, 1))
    ratios.append(rip[-1] / curl[-1])
print("stream: %.0f MB, %d pairs taken in turns" % (expected / 1e6, pairs))
print("lumoripper CPU ms/MB: median %.3f (min %.3f, max %.3f)" % (1e3 * statistics.median(rip), 1e3 * min(rip), 1e3 * max(rip)))
print("curl       CPU ms/MB: median %.3f (min %.3f, max %.3f)" % (1e3 * statistics.median(curl), 1e3 * min(curl), 1e3 * max(curl)))
print("lumoripper/curl: median of pairwise ratios %.3f (min %.3f, max %.3f)" % (statistics.median(ratios), min(ratios), max(ratios)))
PY
