#include "tools/quorvel-analyse/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr auto kFirstDraw = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kBarCells = 30;
constexpr size_t kLongestLabel = 40;

}  // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::string label, uint64_t total, double unitBytes)
    : out_(out),
      enabled_(enabled && total > 0),
      label_(std::move(label)),
      total_(total),
      unitBytes_(unitBytes),
      start_(Clock::now()) {
    // A long path keeps its end, where the file's name is.
    if (label_.size() > kLongestLabel) label_ = "..." + label_.substr(label_.size() - (kLongestLabel - 3));
}

void ProgressBar::update(uint64_t done) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < kFirstDraw || (drawn_ && now - lastDrawn_ < kRedraw)) return;
    const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(total_));
    const int cells = static_cast<int>(share * kBarCells);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char figures[64];
    std::snprintf(figures, sizeof figures, "] %3d%%  %.0f MB/s", static_cast<int>(share * 100.0),
                  static_cast<double>(done) * unitBytes_ / 1e6 / seconds);
    std::string line = label_ + "  [" + std::string(static_cast<size_t>(cells), '#') +
                       std::string(static_cast<size_t>(kBarCells - cells), '.') + figures;
    width_ = std::max(width_, line.size());
    line.resize(width_, ' ');
    out_ << '\r' << line << std::flush;
    drawn_ = true;
    lastDrawn_ = now;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    drawn_ = false;
}
