#pragma once
// A figure followed over the analysed windows of a file: count, mean,
// standard deviation (of the windows' values, n - 1 in the denominator),
// smallest and largest value. Welford's running update, so a file of any
// length needs no more than these few numbers per figure.
#include <cmath>
#include <cstdint>
#include <limits>

class WindowSeries {
public:
    // Values that are not finite are not counted.
    void add(double value) {
        if (!std::isfinite(value)) return;
        ++count_;
        const double delta = value - mean_;
        mean_ += delta / static_cast<double>(count_);
        squares_ += delta * (value - mean_);
        if (count_ == 1 || value < min_) min_ = value;
        if (count_ == 1 || value > max_) max_ = value;
    }
    int64_t count() const { return count_; }
    // NaN without values; the deviation needs two.
    double mean() const { return count_ > 0 ? mean_ : kNone; }
    double standardDeviation() const {
        return count_ > 1 ? std::sqrt(squares_ / static_cast<double>(count_ - 1)) : kNone;
    }
    double min() const { return count_ > 0 ? min_ : kNone; }
    double max() const { return count_ > 0 ? max_ : kNone; }

private:
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    int64_t count_ = 0;
    double mean_ = 0.0;
    double squares_ = 0.0;
    double min_ = 0.0;
    double max_ = 0.0;
};
