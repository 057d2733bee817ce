#pragma once
// Hand-built recordings and a temporary program directory for the lap and course tests.
#include <initializer_list>
#include <string>
#include <vector>

#include "analysis/course_layout.h"
#include "analysis/gps_frame.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "tests/test_support.h"

namespace qvtk::test {

class LapFixture : public TempProgramDirectory {
protected:
    void TearDown() override {
        SetCourseMapRedrawHook(nullptr);
        TempProgramDirectory::TearDown();
    }

    // A loaded slot of n samples whose front wheel covers step(i) in sample i (rear: twice).
    static Slot& Recording(FileSlot slot, int32_t n, uint32_t (*step)(int32_t) = nullptr) {
        EXPECT_TRUE(AllocateSlotBuffers(slot, n));
        Slot& s = SlotOf(slot);
        s.sampleCount = n;
        s.file.fileKind = kFileFamily3;
        for (int32_t i = 1; i < n; ++i) {
            uint32_t d = step ? step(i) : 10;
            s.distance.front[i] = s.distance.front[i - 1] + d;
            s.distance.rear[i] = s.distance.rear[i - 1] + 2 * d;
        }
        return s;
    }

    // marks[1..] as given, then the three end entries.
    static void SetMarks(FileSlot slot, std::initializer_list<int32_t> marks) {
        LapMarkTable& t = SlotOf(slot).laps;
        t.count = 1;
        for (int32_t m : marks) t.marks[t.count++] = m;
        t.marks[t.count] = t.marks[t.count + 1] = t.marks[t.count + 2] = SlotOf(slot).sampleCount;
    }

    template <class T> static std::vector<T> Row(const T* p, int n) {
        return std::vector<T>(p, p + n);
    }
};

} // namespace qvtk::test
