#!/usr/bin/env python3
"""How long the online directory takes to build a genre page from 500
catalogue records in the real catalogue's shapes (broadcasters in several
codecs and bitrates, twins by address and by name), the API answered in
process and a new database each round; prints the median per page (the
database's syncs to disk make the wall time noisy; the CPU time less so).

  bench/directory_page_build.py [--program-dir DIR] [--rounds N] [--distinct]

--program-dir takes another checkout's tools/directory, so two versions
can be run in turns and compared:
  python3 bench/directory_page_build.py --program-dir /tmp/old/tools/directory
  python3 bench/directory_page_build.py
"""

import argparse
import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RECORDS = 500


def catalogue(distinct):
    """500 records: one broadcaster in four in three codecs and bitrates,
    one station in ten with a twin under another name at its address; or,
    `distinct`, 500 stations of one record each."""
    records, n = [], 0
    while len(records) < RECORDS:
        base = {"name": "Station %d" % n, "tags": "pop,rock", "countrycode": "BE", "hls": 0, "lastcheckok": 1}
        variants = [("MP3", 128), ("AAC", 96), ("AAC+", 48)] if n % 4 == 0 and not distinct else [("MP3", 128)]
        for codec, bitrate in variants:
            url = "http://s%d.example/%s-%d" % (n, codec.lower(), bitrate)
            records.append(dict(base, stationuuid="u-%d-%s" % (n, codec), codec=codec, bitrate=bitrate, url=url,
                                url_resolved=url, clickcount=10000 - len(records)))
            if n % 10 == 1 and not distinct:
                records.append(dict(records[-1], stationuuid="u-%d-twin" % n, name="Twin %d" % n,
                                    clickcount=10000 - len(records)))
        n += 1
    return records[:RECORDS]


class Api:
    budget, last_server = 8.0, "in-process"

    def __init__(self, records):
        self.records = records

    def search(self, params, deadline=None, keep=None):
        """The records, or, with `keep` (the client that reads answers item
        by item), (what keep kept, how many were read)."""
        offset, limit = int(params.get("offset", 0)), int(params.get("limit", 100000))
        found = self.records[offset:offset + limit]
        if keep is None:
            return found
        return [k for k in map(keep, found) if k is not None], len(found)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--program-dir", default=os.path.join(HERE, "..", "tools", "directory"))
    p.add_argument("--rounds", type=int, default=20)
    p.add_argument("--distinct", action="store_true", help="500 stations of one record each")
    opts = p.parse_args()
    sys.path.insert(0, os.path.abspath(opts.program_dir))
    import online_source
    import station_state

    api, seconds, cpu = Api(catalogue(opts.distinct)), [], []
    for _ in range(opts.rounds):
        with tempfile.TemporaryDirectory(prefix="page-bench-") as state_dir:
            state = station_state.StationState(state_dir)
            source = online_source.RadioBrowserSource(api, state, ["MP3", "AAC", "AAC+", "OGG"], 500, False, 0)
            start, start_cpu = time.perf_counter(), time.process_time()
            body, reason = source.genre_page("pop")
            seconds.append(time.perf_counter() - start)
            cpu.append(time.process_time() - start_cpu)
            state.close()
    print("%d records, %s: median %.1f ms per page, %.1f ms of it CPU" % (
        RECORDS, reason.split(" from ")[0], statistics.median(seconds) * 1000, statistics.median(cpu) * 1000))


if __name__ == "__main__":
    main()
