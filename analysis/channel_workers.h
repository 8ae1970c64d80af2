#pragma once
// Threads for the per-channel work of an acquisition tick (sliding the
// windows, the statistics, the spectrum pass). The channels are independent
// of each other, so they are dealt out to lanes: lane L takes the channels
// L, L + lanes, L + 2 lanes, ... The caller's thread is lane 0 and run()
// returns only when every lane is done, so to the rest of the program the
// tick stays one step on one thread.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class ChannelWorkers {
public:
    // `lanes` threads in all, the caller's included; below 1 counts as 1.
    explicit ChannelWorkers(int lanes = defaultLanes());
    ~ChannelWorkers();
    ChannelWorkers(const ChannelWorkers&) = delete;
    ChannelWorkers& operator=(const ChannelWorkers&) = delete;

    int lanes() const { return lanes_; }

    // Calls work(lane) once for every lane, lane 0 on the calling thread, and
    // returns when all have returned. `work` must not throw.
    void run(const std::function<void(int lane)>& work);

    // Calls work(channel) for channels 0..count-1, spread over the lanes.
    void forEachChannel(int count, const std::function<void(int channel)>& work);

    // One lane per processor, at most kMaxLanes.
    static int defaultLanes();
    static constexpr int kMaxLanes = 8;

private:
    void serve(int lane);

    int lanes_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int)>* work_ = nullptr;
    uint64_t generation_ = 0;
    int pending_ = 0;
    bool stopping_ = false;
};

// work(channel) for channels 0..count-1: spread over the workers' lanes, or
// on the calling thread alone without workers.
void forEachChannel(ChannelWorkers* workers, int count, const std::function<void(int channel)>& work);
