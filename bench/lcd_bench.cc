// One status tick's LCD work: the layout of a full text, 98 characters
// drawn, the picture packed into pages and written to the emulated panel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/lcd_panel.h"
#include "lcd/lcd_display.h"
#include "lcd/status_layout.h"

namespace {

// A scratch root holding the emulated panel for the run.
class PanelRoot {
 public:
  PanelRoot() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "oruvel-bench-XXXXXX").string();
    if (mkdtemp(tmpl.data())) path_ = tmpl;
    if (path_.empty() || !LcdPanel::install(path_)) std::fprintf(stderr, "no emulated panel\n");
  }
  ~PanelRoot() {
    LcdPanel::uninstall();
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  std::string device() const { return path_ + "/dev/dbox/lcd0"; }

 private:
  std::string path_;
};

void BM_LcdStatusTick(benchmark::State& state) {
  PanelRoot root;
  CLCDDisplay lcd(root.device());
  // 98 characters and more: every cell of the seven rows is drawn.
  const std::string text =
      "Oruvel V0.2 PLAY:Radio X - Song of the Evening (Live)  RIP: "
      "[ 1.2 MB ] recording into /media/hdd/rip, 128 kbit/s\n";
  const int framesBefore = LcdPanel::stats().frames;
  for (auto _ : state) {
    oruvel::layoutStatusText(lcd, text);
    benchmark::ClobberMemory();
  }
  const int frames = LcdPanel::stats().frames - framesBefore;
  if (frames != static_cast<int>(state.iterations())) state.SkipWithError("a frame did not reach the panel");
  state.counters["frames"] = frames;
}
BENCHMARK(BM_LcdStatusTick);

// The packing alone, once per update.
void BM_LcdConvertData(benchmark::State& state) {
  PanelRoot root;
  CLCDDisplay lcd(root.device());
  for (int x = 0; x < 120; x += 3) lcd.draw_point(x, x % 64, 1);
  for (auto _ : state) {
    lcd.convert_data();
    benchmark::DoNotOptimize(lcd.pages()[0]);
  }
}
BENCHMARK(BM_LcdConvertData);

}  // namespace
