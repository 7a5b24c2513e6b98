// Reading a directory page into the Station list, filling the station list
// box from it, and looking a station up, at up to 100000 stations.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "directory/station_list.h"
#include "ui/station_list_box.h"

namespace {

// The heap keeps what a refill freed for the next one, as a receiver's
// long-running heap does. Otherwise glibc hands a refill's freed entries
// back to the system and the next refill pays a page fault for each page:
// the figures would then measure the machine's page faults and vary with
// whatever ran before.
const bool kHeapKept = [] {
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  return true;
}();

// A page of `count` station lines as the directory serves them, in a
// folder of its own.
class PageFile {
 public:
  explicit PageFile(int count) {
    char tmpl[] = "/tmp/oruvel-bench-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    dir_ = tmpl;
    path_ = dir_ + "/lumonet";
    std::FILE* f = std::fopen(path_.c_str(), "w");
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<stationlist>\n");
    for (int i = 0; i < count; ++i)
      std::fprintf(f,
                   "<station name=\"Station %d - the best hits around the clock\" "
                   "mt=\"audio/mpeg\" id=\"%d\" br=\"%d\" genre=\"Pop Rock\" "
                   "ct=\"Artist %d - Title\" lc=\"%d\"/>\n",
                   i, 100000 + i, i % 3 ? 128 : 64, i, i % 500);
    std::fprintf(f, "</stationlist>\n");
    std::fclose(f);
  }
  ~PageFile() {
    std::remove(path_.c_str());
    rmdir(dir_.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string dir_, path_;
};

void BM_ReadDirectoryPage(benchmark::State& state) {
  PageFile page(static_cast<int>(state.range(0)));
  oruvel::StationList stations;  // its filter is off
  for (auto _ : state) {
    oruvel::readDirectoryPage(stations, page.path());
    benchmark::DoNotOptimize(stations.net_ende);
  }
  if (stations.AnzahlNETElemente != state.range(0)) state.SkipWithError("wrong station count");
}
BENCHMARK(BM_ReadDirectoryPage)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FillStationList(benchmark::State& state) {
  PageFile page(static_cast<int>(state.range(0)));
  oruvel::StationList stations;  // its filter is off
  oruvel::readDirectoryPage(stations, page.path());
  eListBox<eListBoxEntryText> box(nullptr);
  for (auto _ : state) {
    oruvel::fillStationListBox(&box, stations);
    benchmark::DoNotOptimize(box.getCount());
  }
  if (box.getCount() != state.range(0) + 1 || stations.net_anker != stations.net_ende)
    state.SkipWithError("list box not filled as expected");
  box.clearList();
}
BENCHMARK(BM_FillStationList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Looking a station up by key, as every move of the highlight does, near
// the top of the list (the far end of its links).
void BM_LookUpStation(benchmark::State& state) {
  PageFile page(static_cast<int>(state.range(0)));
  oruvel::StationList stations;  // its filter is off
  oruvel::readDirectoryPage(stations, page.path());
  int key = 0;
  for (auto _ : state) {
    stations.NET_Element_ermitteln(key % 16 + 1, stations.AnzahlNETElemente);
    benchmark::DoNotOptimize(stations.net_anker);
    ++key;
  }
}
BENCHMARK(BM_LookUpStation)->Arg(1000)->Arg(100000);

}  // namespace
