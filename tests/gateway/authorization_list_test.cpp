#include "gateway/authorization_list.h"

#include <gtest/gtest.h>

#include "gateway_test_support.h"

using namespace std::chrono_literals;
using qvx::gateway::AuthorizationList;
using qvx::gateway::test::FakeClock;

TEST(AuthorizationList, AnEntryIsValidForTenWholeSecondsAndGoneInTheEleventh) {
    FakeClock clock;
    AuthorizationList list(clock);
    list.add("127.0.0.1");

    clock.advance(10s);
    EXPECT_TRUE(list.purgeStale().empty());
    EXPECT_TRUE(list.contains("127.0.0.1"));

    clock.advance(999ms);  // 10.999 s: still ten whole seconds
    EXPECT_TRUE(list.purgeStale().empty());
    EXPECT_TRUE(list.contains("127.0.0.1"));

    clock.advance(1ms);  // 11 s
    EXPECT_EQ(list.purgeStale(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_FALSE(list.contains("127.0.0.1"));
    EXPECT_EQ(list.size(), 0U);
}

TEST(AuthorizationList, MatchesTheDottedTextExactlyAndIsNotConsumed) {
    FakeClock clock;
    AuthorizationList list(clock);
    list.add("127.0.0.1");
    EXPECT_FALSE(list.contains("127.0.0.2"));
    EXPECT_FALSE(list.contains("127.0.0.10"));
    EXPECT_FALSE(list.contains("127.0.0"));
    EXPECT_FALSE(list.contains("127.000.000.001"));
    EXPECT_TRUE(list.contains("127.0.0.1"));
    EXPECT_TRUE(list.contains("127.0.0.1"));
}

TEST(AuthorizationList, KeepsDuplicatesAndPurgesFromTheLastEntryKeepingTheOrder) {
    FakeClock clock;
    AuthorizationList list(clock);
    list.add("10.0.0.1");
    list.add("10.0.0.2");
    clock.advance(5s);
    list.add("10.0.0.3");
    list.add("10.0.0.1");  // a second login from the same address
    EXPECT_EQ(list.size(), 4U);

    clock.advance(6s);  // the first two are 11 s old, the others 6 s
    EXPECT_EQ(list.purgeStale(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(list.size(), 2U);
    EXPECT_TRUE(list.contains("10.0.0.1"));  // renewed by the second login
    EXPECT_FALSE(list.contains("10.0.0.2"));

    clock.advance(5s);
    EXPECT_EQ(list.purgeStale(), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
}
