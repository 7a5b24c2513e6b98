#!/usr/bin/env python3
"""Prints a genre of the stand-in directory's catalogue format whose page
lines look like those of real directory pages: names of two to six words,
a short genre, a short title and a listener count, e.g.

  <station name="Blue Lounge Jazz FM Live 1234" mt="audio/mpeg" id="101234"
   br="128" genre="Jazz" ct="Blue - Lounge" lc="1234"></station>

    lifelike_genre.py NAME [COUNT]      (default 10000 stations)

The same stations every time: the words follow from the station's number.
"""
import sys

WORDS = ["Blue", "Lounge", "Jazz", "FM", "Live", "Radio", "Classic", "Rock", "Smooth", "City",
         "Deep", "House", "Country", "Hits", "Soul", "Public", "Nova", "Coast", "Gold", "Dance",
         "Chill", "Metro", "Sunset", "Indie", "Groove", "Talk", "Wave", "Star", "North", "Club"]
GENRES = ["Jazz", "Rock", "Pop", "Blues", "Dance", "Talk", "Soul", "Folk", "House", "Latin"]
RATES = [64, 96, 128, 128, 192, 256, 320, 48]


def station(n):
    count = 2 + n % 5  # two to six words, the last one a number
    words = [WORDS[(n * 7 + i * 11) % len(WORDS)] for i in range(count - 1)] + [str(1000 + n % 9000)]
    title = "%s - %s" % (WORDS[n % len(WORDS)], WORDS[(n // 3) % len(WORDS)])
    return "%d|%d|%s|genre=%s|titles=%s|listeners=%d" % (
        100000 + n, RATES[n % len(RATES)], " ".join(words), GENRES[n % len(GENRES)], title, n % 5000)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 10000
    print("genre|" + sys.argv[1])
    for n in range(1, count + 1):
        print(station(n))


if __name__ == "__main__":
    main()
