// The heap a directory page's Station list takes: reads the page named on
// the command line into the list and prints the bytes the list holds
// afterwards (the allocator's own view, chunk overhead included) and the
// most the reading held at once, each also per station. Built for the
// receiver too, where the heap is small.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "directory/station_list.h"

namespace {

// Bytes handed out by operator new and not yet returned, and their peak.
std::size_t live = 0, peak = 0;

void* counted(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  live += malloc_usable_size(p);
  if (live > peak) peak = live;
  return p;
}

void uncounted(void* p) {
  if (!p) return;
  live -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return counted(size); }
void* operator new[](std::size_t size) { return counted(size); }
void operator delete(void* p) noexcept { uncounted(p); }
void operator delete[](void* p) noexcept { uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { uncounted(p); }

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: station_heap PAGE\n");
    return 2;
  }
  oruvel::StationList list;
  const std::size_t heldBefore = mallinfo2().uordblks;
  const std::size_t liveBefore = live;
  peak = live;
  if (!oruvel::readDirectoryPage(list, argv[1])) {
    std::fprintf(stderr, "station_heap: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::size_t held = mallinfo2().uordblks - heldBefore;
  const std::size_t most = peak - liveBefore;
  const int stations = list.AnzahlNETElemente;
  const double n = stations > 0 ? stations : 1;
  std::printf("stations: %d (%u-bit build)\n", stations, static_cast<unsigned>(sizeof(void*) * 8));
  std::printf("held after reading: %zu bytes, %.1f a station\n", held, held / n);
  std::printf("most while reading: %zu bytes, %.1f a station\n", most, most / n);
  list.RemoveList();
  return 0;
}
