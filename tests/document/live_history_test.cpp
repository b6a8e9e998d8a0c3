#include "document/live_history.h"

#include <gtest/gtest.h>

using namespace qvx::document;
using namespace std::chrono_literals;

namespace {

TEST(LiveHistory, KeepsTheNewest640SamplesOldestFirstTimedFromTheFirst) {
    LiveHistory history;
    const auto start = std::chrono::steady_clock::time_point(123s);
    for (int i = 0; i < 700; ++i) {
        history.append(1000.0F + static_cast<float>(i), 24.0F, i % 6, start + i * 500ms);
    }
    ASSERT_EQ(history.size(), LiveHistory::kCapacity);
    EXPECT_FLOAT_EQ(history[0].gripperMv, 1060.0F);
    EXPECT_DOUBLE_EQ(history[0].seconds, 30.0);
    EXPECT_FLOAT_EQ(history.newest().gripperMv, 1699.0F);
    EXPECT_DOUBLE_EQ(history.newest().seconds, 349.5);
    EXPECT_EQ(history[639].outputLevel, 699 % 6);
    for (std::size_t i = 1; i < history.size(); ++i) {
        EXPECT_GT(history[i].seconds, history[i - 1].seconds);
    }
}

TEST(LiveHistory, ClearStartsTheTimeAgain) {
    LiveHistory history;
    const auto start = std::chrono::steady_clock::time_point(5s);
    history.append(1.0F, 2.0F, 3, start);
    history.append(1.0F, 2.0F, 3, start + 2s);
    history.clear();
    EXPECT_TRUE(history.empty());
    history.append(4.0F, 5.0F, 1, start + 10s);
    ASSERT_EQ(history.size(), 1U);
    EXPECT_DOUBLE_EQ(history[0].seconds, 0.0);
    EXPECT_FLOAT_EQ(history[0].supplyVolts, 5.0F);
}

}  // namespace
