// The clock answer's checks and the clock-set command's bytes.
#include "logger/logger_answers.h"

#include <gtest/gtest.h>

namespace qvtk {
namespace {

TEST(LoggerAnswers, ClockAnswersOutsideTheCalendarAreRejectedButZeroMonthAndDayPass) {
    struct Case {
        uint8_t answer[7];
        bool inRange;
    } cases[] = {
        {{0x07, 0xE5, 3, 14, 23, 59, 59}, true}, {{0x07, 0xE5, 0, 0, 0, 0, 0}, true},
        {{0x00, 0x00, 3, 14, 12, 0, 0}, false},  {{0x07, 0xE5, 13, 1, 0, 0, 0}, false},
        {{0x07, 0xE5, 1, 32, 0, 0, 0}, false},   {{0x07, 0xE5, 1, 1, 24, 0, 0}, false},
        {{0x07, 0xE5, 1, 1, 0, 60, 0}, false},   {{0x07, 0xE5, 1, 1, 0, 0, 60}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClockAnswerInRange(DecodeClockAnswer(c.answer)), c.inRange)
            << int(c.answer[2]) << "/" << int(c.answer[3]);
    EXPECT_EQ(ClockText(DecodeClockAnswer(cases[0].answer)), "2021/3/14 23:59:59");
}

TEST(LoggerAnswers, TheClockSetCommandSendsNoSeconds) {
    uint8_t command[8];
    BuildClockSetCommand({2021, 12, 31, 23, 58}, command);
    const uint8_t expected[8] = {0x20, 0x07, 0xE5, 12, 31, 23, 58, 0};
    EXPECT_TRUE(std::equal(command, command + 8, expected));
}

} // namespace
} // namespace qvtk
