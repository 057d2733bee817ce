// The two-thread pipeline of a frame: every item worked once, and used in order only after its
// work is done, whichever thread did it.
#include "platform/parallel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <utility>
#include <vector>

namespace qvtk {
namespace {

TEST(ParallelPipeline, UsesEveryItemInOrderAfterItsWork) {
    for (int count : {0, 1, 2, 7, 500}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<std::atomic<int>> worked(size_t(count + 1));
            std::vector<int> value(size_t(count + 1), -1);
            std::vector<int> used;
            bool readyWhenUsed = true;
            ParallelPipeline(
                count,
                [&](int i) {
                    value[size_t(i)] = i * 3;
                    worked[size_t(i)].fetch_add(1);
                },
                [&](int i) {
                    readyWhenUsed = readyWhenUsed && value[size_t(i)] == i * 3;
                    used.push_back(i);
                });
            ASSERT_TRUE(readyWhenUsed) << count;
            ASSERT_EQ(int(used.size()), count);
            for (int i = 0; i < count; ++i) {
                ASSERT_EQ(used[size_t(i)], i);
                ASSERT_EQ(worked[size_t(i)].load(), 1);
            }
        }
    }
}

// A failing item, on either thread, reaches the caller; the helper is ready for the next loop.
TEST(ParallelPipeline, AFailureReachesTheCallerAndTheNextLoopRuns) {
    for (int failing : {0, 7, 199}) {
        EXPECT_THROW(ParallelPipeline(
                         200,
                         [&](int i) {
                             if (i == failing) throw std::runtime_error("item");
                         },
                         [](int) {}),
                     std::runtime_error);
        EXPECT_THROW(ParallelPipeline(
                         50, [](int) {},
                         [&](int i) {
                             if (i == failing % 50) throw std::runtime_error("use");
                         }),
                     std::runtime_error);
        std::atomic<int> worked{0};
        int used = 0;
        ParallelPipeline(
            100, [&](int) { worked.fetch_add(1); }, [&](int) { ++used; });
        EXPECT_EQ(std::pair(worked.load(), used), std::pair(100, 100));
    }
}

// A child of fork has no helper thread: a loop there must not wait for one (a load in a child
// with little memory, as the memory tests run it).
TEST(ParallelPipeline, AForkedChildFinishesItsLoops) {
    int sum = 0;
    ParallelPipeline(
        10, [](int) {}, [&](int i) { sum += i; });
    ASSERT_EQ(sum, 45);
    const pid_t child = fork();
    if (child == 0) {
        alarm(20); // a loop that waits for the lost thread ends here
        int inChild = 0;
        ParallelPipeline(
            100, [](int) {}, [&](int i) { inChild += i; });
        _exit(inChild == 4950 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A loop started inside another, from its use (where a load lets the window's messages
// through) or from its work on either thread, finishes instead of waiting for itself.
TEST(ParallelPipeline, ALoopInsideALoopFinishes) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(20); // a loop waiting for itself ends here
        std::atomic<int> inner{0};
        int used = 0;
        ParallelPipeline(
            40, [&](int) { ParallelFor(3, [&](int i) { inner.fetch_add(i); }); },
            [&](int) {
                ParallelFor(5, [&](int i) { inner.fetch_add(i); });
                ++used;
            });
        int after = 0;
        ParallelFor(4, [&](int) { __atomic_fetch_add(&after, 1, __ATOMIC_RELAXED); });
        _exit(inner.load() == 40 * 3 + 40 * 10 && used == 40 && after == 4 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

} // namespace
} // namespace qvtk
