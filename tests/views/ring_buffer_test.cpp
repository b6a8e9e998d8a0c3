#include "views/widgets/ring_buffer.h"

#include <gtest/gtest.h>

using qvx::widgets::RingBuffer;

namespace {

std::vector<int> contents(const RingBuffer<int>& ring) {
    std::vector<int> items;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        items.push_back(ring[i]);
    }
    return items;
}

TEST(RingBuffer, DropsTheOldestWhenFullAndKeepsOrder) {
    RingBuffer<int> ring(3);
    for (int i = 1; i <= 5; ++i) {
        ring.push(i);
    }
    EXPECT_EQ(contents(ring), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(ring.back(), 5);
}

TEST(RingBuffer, ShrinkingKeepsTheNewestAndGrowingKeepsAll) {
    RingBuffer<int> ring(4);
    for (int i = 1; i <= 6; ++i) {
        ring.push(i);  // wrapped: 3 4 5 6
    }
    ring.setCapacity(2);
    EXPECT_EQ(contents(ring), (std::vector<int>{5, 6}));
    ring.setCapacity(5);
    ring.push(7);
    ring.push(8);
    EXPECT_EQ(contents(ring), (std::vector<int>{5, 6, 7, 8}));
}

TEST(RingBuffer, CapacityIsAtLeastOneAndClearEmpties) {
    RingBuffer<int> ring(0);
    EXPECT_EQ(ring.capacity(), 1u);
    ring.push(1);
    ring.push(2);
    EXPECT_EQ(contents(ring), (std::vector<int>{2}));
    ring.clear();
    EXPECT_TRUE(ring.empty());
    ring.push(3);
    EXPECT_EQ(contents(ring), (std::vector<int>{3}));
}

}  // namespace
