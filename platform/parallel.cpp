#include "platform/parallel.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qvtk {

namespace {

class Helper {
public:
    Helper() : thread_([this] { Run(); }) {}
    ~Helper() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void Share(int count, const std::function<void(int)>& work) {
        next_.store(0);
        {
            std::lock_guard lock(mutex_);
            work_ = &work;
            count_ = count;
            busy_ = true;
        }
        wake_.notify_one();
        Drain(count, work);
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
        work_ = nullptr;
    }

private:
    void Drain(int count, const std::function<void(int)>& work) {
        for (int i = next_.fetch_add(1); i < count; i = next_.fetch_add(1)) work(i);
    }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || busy_; });
            if (stop_) return;
            const std::function<void(int)>* work = work_;
            const int count = count_;
            lock.unlock();
            Drain(count, *work);
            lock.lock();
            busy_ = false;
            done_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::atomic<int> next_{0};
    const std::function<void(int)>* work_ = nullptr;
    int count_ = 0;
    bool busy_ = false, stop_ = false;
    std::thread thread_; // last: it starts running once everything above exists
};

} // namespace

void ParallelFor(int count, const std::function<void(int)>& work) {
    if (count <= 0) return;
    if (count == 1) {
        work(0);
        return;
    }
    static Helper helper;
    static std::mutex one; // one shared loop at a time
    std::lock_guard lock(one);
    helper.Share(count, work);
}

} // namespace qvtk
