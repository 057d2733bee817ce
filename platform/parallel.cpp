#include "platform/parallel.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace qvtk {

namespace {

// One loop's items: handed out in order to whichever thread asks next.
struct Items {
    explicit Items(int n) : count(n), done(new std::atomic<bool>[size_t(n)]) {
        for (int i = 0; i < n; ++i) done[i].store(false, std::memory_order_relaxed);
    }
    // Does the next unclaimed item; false when none is left.
    bool DoOne(const std::function<void(int)>& work) {
        if (failed.load()) return false;
        const int i = next.fetch_add(1);
        if (i >= count) return false;
        try {
            work(i);
        } catch (...) {
            failed = true; // the other thread stops waiting for this item
            throw;
        }
        done[i].store(true, std::memory_order_release);
        return true;
    }
    const int count;
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::unique_ptr<std::atomic<bool>[]> done;
};

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

    // Starts the helper on the items; Finish waits until it has stopped taking them.
    void Start(Items& items, const std::function<void(int)>& work) {
        {
            std::lock_guard lock(mutex_);
            items_ = &items;
            work_ = &work;
            busy_ = true;
        }
        wake_.notify_one();
    }
    // Returns what the helper's work threw, if anything.
    std::exception_ptr Finish() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        items_ = nullptr;
        work_ = nullptr;
        return std::exchange(error_, nullptr);
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || busy_; });
            if (stop_) return;
            Items* items = items_;
            const std::function<void(int)>* work = work_;
            lock.unlock();
            std::exception_ptr error;
            try {
                while (items->DoOne(*work)) {}
            } catch (...) {
                error = std::current_exception(); // handed to the caller, not left to terminate
            }
            lock.lock();
            error_ = error;
            busy_ = false;
            idle_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    Items* items_ = nullptr;
    const std::function<void(int)>* work_ = nullptr;
    bool busy_ = false, stop_ = false;
    std::exception_ptr error_;
    std::thread thread_; // last: it starts running once everything above exists
};

} // namespace

void ParallelPipeline(int count, const std::function<void(int)>& work,
                      const std::function<void(int)>& use) {
    if (count <= 0) return;
    static Helper helper;
    static std::mutex one; // one pipeline at a time
    std::lock_guard lock(one);
    Items items(count);
    helper.Start(items, work);
    try {
        for (int i = 0; i < count; ++i) {
            // While item i is still being worked on by the helper, take on later ones.
            while (!items.done[i].load(std::memory_order_acquire)) {
                if (items.failed.load()) break;
                if (!items.DoOne(work)) std::this_thread::yield();
            }
            if (items.failed.load()) break;
            use(i);
        }
    } catch (...) {
        items.failed = true;
        helper.Finish(); // the helper must be done with the items before they go
        throw;
    }
    if (std::exception_ptr error = helper.Finish()) std::rethrow_exception(error);
}

} // namespace qvtk
