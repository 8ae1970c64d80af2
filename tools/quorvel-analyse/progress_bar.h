#pragma once
// A progress bar on one line of a terminal: the file, a bar, the share done
// and the throughput. It appears only once the work has taken half a second
// (short files show nothing), is redrawn at most ten times a second, and is
// wiped when the work ends, so that the results that follow start on a
// clean line.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

class ProgressBar {
public:
    // total: units of work (rows); unitBytes: bytes per unit, for the
    // throughput. A bar that is not enabled draws nothing.
    ProgressBar(std::ostream& out, bool enabled, std::string label, uint64_t total, double unitBytes);
    ~ProgressBar() { finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(uint64_t done);
    // Wipes the bar's line if it was drawn.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& out_;
    bool enabled_;
    std::string label_;
    uint64_t total_;
    double unitBytes_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
    bool drawn_ = false;
    size_t width_ = 0;
};
