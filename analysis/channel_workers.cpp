#include "analysis/channel_workers.h"

#include <algorithm>

int ChannelWorkers::defaultLanes() {
    const unsigned processors = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(processors), 1, kMaxLanes);
}

ChannelWorkers::ChannelWorkers(int lanes) : lanes_(std::clamp(lanes, 1, kMaxLanes)) {
    // A thread that cannot be started leaves its lane to the others.
    try {
        for (int lane = 1; lane < lanes_; ++lane) threads_.emplace_back(&ChannelWorkers::serve, this, lane);
    } catch (...) {
    }
    lanes_ = static_cast<int>(threads_.size()) + 1;
}

ChannelWorkers::~ChannelWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void ChannelWorkers::serve(int lane) {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* work;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            work = work_;
        }
        (*work)(lane);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (--pending_ == 0) done_.notify_one();
        }
    }
}

void ChannelWorkers::run(const std::function<void(int lane)>& work) {
    if (threads_.empty()) {
        work(0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_ = &work;
        pending_ = static_cast<int>(threads_.size());
        ++generation_;
    }
    wake_.notify_all();
    work(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return pending_ == 0; });
    work_ = nullptr;
}

void ChannelWorkers::forEachChannel(int count, const std::function<void(int channel)>& work) {
    if (count <= 0) return;
    if (count == 1 || lanes_ == 1) {
        for (int c = 0; c < count; ++c) work(c);
        return;
    }
    const int lanes = lanes_;
    run([&](int lane) {
        for (int c = lane; c < count; c += lanes) work(c);
    });
}

void forEachChannel(ChannelWorkers* workers, int count, const std::function<void(int channel)>& work) {
    if (workers) {
        workers->forEachChannel(count, work);
        return;
    }
    for (int c = 0; c < count; ++c) work(c);
}
