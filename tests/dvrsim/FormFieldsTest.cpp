// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormFields.h"

#include <gtest/gtest.h>

namespace
{
TEST(FormFieldsTest, SplitAtAmpersandsThenDecoded)
{
    const auto form =
        FormFields::Parse("MODE=8&ID=a%20b+c&PW=&VER=3000&CH=8000&X=1=2&Y=%26%3D%2B%25&Z%41=1");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->Get("ID"), "a b c");
    EXPECT_EQ(form->Get("Y"), "&=+%");
    EXPECT_EQ(form->Get("ZA"), "1");
    EXPECT_EQ(form->Get("PW"), "");
    EXPECT_EQ(form->Get("X"), "1=2");
    EXPECT_EQ(form->GetDecimal("VER", 9999), 3000u);
    EXPECT_EQ(form->GetHex("CH"), 0x8000u);
    EXPECT_FALSE(form->Get("id"));
}

TEST(FormFieldsTest, MalformedTextsAreRefused)
{
    for (const char* text : {"", "MODE", "MODE=1&", "&MODE=1", "=1", "A=1&A=2", "A=1&&B=2"})
    {
        EXPECT_FALSE(FormFields::Parse(text)) << text;
    }
}

TEST(FormFieldsTest, NumbersAreDigitsOnlyAndWithinBounds)
{
    const auto form = FormFields::Parse("A=+1&B=1a&C=256&D=255&E=ffffffff&F=123456789&G= 1");
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->GetDecimal("A", 255));
    EXPECT_FALSE(form->GetDecimal("B", 255));
    EXPECT_FALSE(form->GetDecimal("C", 255));
    EXPECT_EQ(form->GetDecimal("D", 255), 255u);
    EXPECT_EQ(form->GetHex("E"), 0xFFFFFFFFu);
    EXPECT_FALSE(form->GetHex("F"));
    EXPECT_FALSE(form->GetDecimal("G", 255));
    EXPECT_FALSE(form->GetDecimal("missing", 255));
}
TEST(FormFieldsTest, DecodingTakesOnlyWholeEscapes)
{
    EXPECT_EQ(FormDecoded("a%20b%C3%A9+c"), "a b\xC3\xA9 c");
    EXPECT_EQ(FormDecoded("100%"), "100%");
    EXPECT_EQ(FormDecoded("%4"), "%4");
    EXPECT_EQ(FormDecoded("%zz%41"), "%zzA");
    EXPECT_EQ(FormDecoded("%2541"), "%41") << "decoded once only";
}
} // namespace
