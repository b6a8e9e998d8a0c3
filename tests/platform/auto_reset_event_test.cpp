#include "platform/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using qvx::platform::AutoResetEvent;
using qvx::platform::waitAny;

TEST(AutoResetEvent, WaitTimesOutWhileUnsignalled) {
    AutoResetEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.wait(30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(AutoResetEvent, ClearsItselfAfterOneWait) {
    AutoResetEvent event;
    ASSERT_TRUE(event.set());
    ASSERT_TRUE(event.set());  // a second set before the wait is not counted twice
    EXPECT_TRUE(event.wait(0ms));
    EXPECT_FALSE(event.wait(0ms));
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent event;
    std::atomic<bool> woke{false};
    std::thread waiter([&] { woke = event.wait(5s); });
    ASSERT_TRUE(event.set());
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST(AutoResetEvent, OneSignalWakesExactlyOneOfTwoWaiters) {
    AutoResetEvent event;
    AutoResetEvent done;
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (event.wait(2s)) {
            ++woken;
        }
        (void)done.set();
    };
    std::thread a(waiter);
    std::thread b(waiter);
    ASSERT_TRUE(event.set());
    // The first waiter to finish is the woken one; the other times out after 2 s.
    a.join();
    b.join();
    EXPECT_EQ(woken, 1);
}

TEST(WaitAny, ReportsTheFirstSignalledEventInArgumentOrder) {
    AutoResetEvent first;
    AutoResetEvent second;
    AutoResetEvent third;
    ASSERT_TRUE(third.set());
    ASSERT_TRUE(second.set());
    EXPECT_EQ(waitAny({&first, &second, &third}, 0ms), 1);
    // Only the reported event was cleared.
    EXPECT_EQ(waitAny({&first, &second, &third}, 0ms), 2);
    EXPECT_EQ(waitAny({&first, &second, &third}, 10ms), -1);
}

TEST(WaitAny, WakesWhenALaterEventIsSignalledDuringTheWait) {
    AutoResetEvent first;
    AutoResetEvent second;
    std::thread signaller([&] { (void)second.set(); });
    EXPECT_EQ(waitAny({&first, &second}, 5s), 1);
    signaller.join();
}
