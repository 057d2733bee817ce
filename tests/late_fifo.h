#pragma once
// A FIFO whose writer end is opened (and closed at once) only after two seconds, and from then
// on whenever someone is reading: code that waits on the FIFO is freed late instead of never.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace qvtk::test {

class LateFifo {
public:
    explicit LateFifo(const std::string& path) : path_(path) {
        EXPECT_EQ(mkfifo(path.c_str(), 0644), 0);
        writer_ = std::thread([this] {
            using namespace std::chrono_literals;
            const auto until = std::chrono::steady_clock::now() + 2s;
            while (!stop_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(10ms);
            // Again and again: each open that waits is freed, not only the first.
            while (!stop_) {
                int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) close(fd);
                std::this_thread::sleep_for(10ms);
            }
        });
    }
    ~LateFifo() {
        stop_ = true;
        writer_.join();
    }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread writer_;
};

// Seconds since `start` on the steady clock.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace qvtk::test
