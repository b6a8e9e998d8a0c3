#include "platform/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>

using qvx::platform::systemErrorText;

TEST(SystemErrorText, GivesTheTextOfAKnownCode) {
    EXPECT_EQ(systemErrorText(ECONNREFUSED), "Connection refused");
}

TEST(SystemErrorText, CodeZeroMeansTheThreadsLastError) {
    errno = ENOENT;
    EXPECT_EQ(systemErrorText(0), "No such file or directory");
}

TEST(SystemErrorText, UnknownCodeGivesAnEmptyText) {
    EXPECT_EQ(systemErrorText(98765), "");
    EXPECT_EQ(systemErrorText(-3), "");
}
