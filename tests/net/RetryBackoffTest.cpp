// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CRetryBackoff.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(RetryBackoffTest, WaitsDoubleUpToTheLongestAndALoginStartsOver)
{
    CRetryBackoff backoff(2s, 60s);
    for (auto expected : {2s, 4s, 8s, 16s, 32s, 60s, 60s})
    {
        EXPECT_EQ(backoff.Next(), expected);
    }
    backoff.Reset();
    EXPECT_EQ(backoff.Next(), 2s);
}
