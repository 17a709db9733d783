// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrAddress.h"

#include <gtest/gtest.h>

#include <string>

TEST(DvrAddressTest, OnlyAHostIsAnAddress)
{
    const struct
    {
        std::u16string_view address;
        bool accepted;
    } cases[] = {
        {u"10.0.0.5", true},          {u"127.0.0.1", true},        {u"localhost", true},
        {u"dvr-1.example.net", true}, {u"[::1]", true},            {u"[fe80::1:2]", true},
        {u"", false},                 {u"u@127.0.0.1", false},     {u"127.0.0.1/x", false},
        {u"127.0.0.1?y", false},      {u"127.0.0.1:8080", false},  {u"host#frag", false},
        {u"a b", false},              {u"::1", false},             {u"[::1", false},
        {u"[not-v6]", false},         {u"-dvr", false},            {u"dvr..net", false},
        {u"dvr.", false},             {u"d\u00e9p\u00f4t", false}, {u"shop,2", false},
        {u"line\nbreak", false},      {u"%31.0.0.1", false},       {u"[::1]:80", false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(IsDvrHostAddress(c.address), c.accepted)
            << std::string(c.address.begin(), c.address.end());
    }
    EXPECT_TRUE(IsDvrHostAddress(std::u16string(63, u'a')));
    EXPECT_FALSE(IsDvrHostAddress(std::u16string(64, u'a')));
}
