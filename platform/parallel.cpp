#include "platform/parallel.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <utility>

namespace qvtk {

namespace {

// Set on a thread while it takes part in a loop. A loop started from inside one (from an
// item's work, or from what the window messages let through while a loop runs) runs on its own
// thread: the helper is busy with the outer loop, and waiting for it would wait forever.
thread_local bool t_inLoop = false;

struct InLoop {
    InLoop() { t_inLoop = true; }
    ~InLoop() { t_inLoop = false; }
};

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
                InLoop inLoop;
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

std::unique_ptr<Helper>& TheHelper() {
    static std::unique_ptr<Helper> helper;
    return helper;
}

// The helper, started when first needed; null when no thread can be started (the system is
// out of memory or threads): the calling thread then does all the work itself.
Helper* StartedHelper() {
    static const bool forgetAfterFork = [] {
        // A child of fork has only the thread that forked: its helper has to be started anew.
        pthread_atfork(nullptr, nullptr, [] { (void)TheHelper().release(); });
        return true;
    }();
    (void)forgetAfterFork;
    std::unique_ptr<Helper>& helper = TheHelper();
    if (!helper) {
        try {
            helper = std::make_unique<Helper>();
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return helper.get();
}

void RunAlone(int count, const std::function<void(int)>& work,
              const std::function<void(int)>& use) {
    for (int i = 0; i < count; ++i) {
        work(i);
        use(i);
    }
}

} // namespace

void ParallelPipeline(int count, const std::function<void(int)>& work,
                      const std::function<void(int)>& use) {
    if (count <= 0) return;
    if (t_inLoop) return RunAlone(count, work, use);
    static std::mutex one; // one pipeline at a time
    std::lock_guard lock(one);
    InLoop inLoop;
    Helper* started = StartedHelper();
    if (!started) return RunAlone(count, work, use);
    Helper& helper = *started;
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

void ParallelFor(int count, const std::function<void(int)>& work) {
    ParallelPipeline(count, work, [](int) {});
}

} // namespace qvtk
