#include "platform/named_mutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using qvx::platform::NamedTimedMutex;

TEST(NamedTimedMutex, SameNameSharesOneLock) {
    NamedTimedMutex a("test shared");
    NamedTimedMutex b("test shared");
    ASSERT_TRUE(a.tryLockFor(0ms));
    bool gotIt = true;
    std::thread other([&] { gotIt = b.tryLockFor(20ms); });
    other.join();
    EXPECT_FALSE(gotIt);
    a.unlock();
    std::thread again([&] {
        gotIt = b.tryLockFor(1s);
        if (gotIt) {
            b.unlock();
        }
    });
    again.join();
    EXPECT_TRUE(gotIt);
}

TEST(NamedTimedMutex, DifferentNamesAreIndependent) {
    NamedTimedMutex a("test one");
    NamedTimedMutex b("test two");
    ASSERT_TRUE(a.tryLockFor(0ms));
    bool gotIt = false;
    std::thread other([&] {
        gotIt = b.tryLockFor(0ms);
        if (gotIt) {
            b.unlock();
        }
    });
    other.join();
    EXPECT_TRUE(gotIt);
    a.unlock();
}

#include "platform/recursive_timed_mutex.h"

using qvx::platform::RecursiveTimedMutex;

TEST(RecursiveTimedMutex, OwnerMayNestAndOthersWaitUntilTheLastUnlock) {
    RecursiveTimedMutex mutex;
    ASSERT_TRUE(mutex.tryLockFor(0ms));
    ASSERT_TRUE(mutex.tryLockFor(0ms));
    EXPECT_TRUE(mutex.heldByCaller());
    auto otherGets = [&](std::chrono::milliseconds wait) {
        bool got = false;
        std::thread other([&] {
            got = mutex.tryLockFor(wait);
            if (got) {
                mutex.unlock();
            }
        });
        other.join();
        return got;
    };
    EXPECT_FALSE(otherGets(10ms));
    mutex.unlock();
    EXPECT_FALSE(otherGets(10ms));  // still held once
    mutex.unlock();
    EXPECT_FALSE(mutex.heldByCaller());
    EXPECT_TRUE(otherGets(1s));
}

TEST(RecursiveTimedMutex, UnlockByAThreadThatDoesNotHoldItChangesNothing) {
    RecursiveTimedMutex mutex;
    ASSERT_TRUE(mutex.tryLockFor(0ms));
    std::thread intruder([&] { mutex.unlock(); });
    intruder.join();
    EXPECT_TRUE(mutex.heldByCaller());
    mutex.unlock();
}
