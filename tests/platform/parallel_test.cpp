// The two-thread pipeline of a frame: every item worked once, and used in order only after its
// work is done, whichever thread did it.
#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
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

} // namespace
} // namespace qvtk
