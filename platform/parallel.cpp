#include "platform/parallel.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace qvtk {

namespace {

// One loop's items: handed out in order to whichever thread asks next.
struct Items {
    explicit Items(int n) : count(n), done(new std::atomic<bool>[size_t(n)]) {
        for (int i = 0; i < n; ++i) done[i].store(false, std::memory_order_relaxed);
    }
    // Does the next unclaimed item; false when none is left.
    bool DoOne(const std::function<void(int)>& work) {
        const int i = next.fetch_add(1);
        if (i >= count) return false;
        work(i);
        done[i].store(true, std::memory_order_release);
        return true;
    }
    const int count;
    std::atomic<int> next{0};
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
    void Finish() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !busy_; });
        items_ = nullptr;
        work_ = nullptr;
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
            while (items->DoOne(*work)) {}
            lock.lock();
            busy_ = false;
            idle_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    Items* items_ = nullptr;
    const std::function<void(int)>* work_ = nullptr;
    bool busy_ = false, stop_ = false;
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
    for (int i = 0; i < count; ++i) {
        // While item i is still being worked on by the helper, take on later ones.
        while (!items.done[i].load(std::memory_order_acquire))
            if (!items.DoOne(work)) std::this_thread::yield();
        use(i);
    }
    helper.Finish();
}

} // namespace qvtk
