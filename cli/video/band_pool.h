// Bands of a frame corrected in parallel, each by a plug-in instance of its own: band 0 runs on
// the calling thread, band i > 0 on worker thread i, every time, so each instance is only ever
// called from one thread, one call at a time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tonalith::cli {

// Rows [first, end) of band `band` of `bands` over `count` rows.
inline std::pair<int, int> Band(int count, int band, int bands) {
    return {static_cast<int>(static_cast<int64_t>(count) * band / bands),
            static_cast<int>(static_cast<int64_t>(count) * (band + 1) / bands)};
}

class BandPool {
public:
    explicit BandPool(int bands) {
        for (int band = 1; band < bands; ++band) threads_.emplace_back([this, band] { Loop(band); });
    }
    ~BandPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        start_.notify_all();
        for (auto& thread : threads_) thread.join();
    }
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    int Bands() const { return static_cast<int>(threads_.size()) + 1; }

    // Calls job(band) for every band and returns when all have returned.
    void Run(const std::function<void(int)>& job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            task_ = &job;
            pending_ = static_cast<int>(threads_.size());
            ++generation_;
        }
        start_.notify_all();
        job(0);
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return pending_ == 0; });
        task_ = nullptr;
    }

private:
    void Loop(int band) {
        uint64_t seen = 0;
        for (;;) {
            const std::function<void(int)>* job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                start_.wait(lock, [&] { return quit_ || generation_ != seen; });
                if (quit_) return;
                seen = generation_;
                job = task_;
            }
            (*job)(band);
            std::lock_guard<std::mutex> lock(mutex_);
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable start_, done_;
    const std::function<void(int)>* task_ = nullptr;
    uint64_t generation_ = 0;
    int pending_ = 0;
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tonalith::cli
