// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/UserName.h"

#include "support/RecordingMessageBox.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
const std::u16string kRule = u"Only alphabet, number and '_' can be entered";

class FakeUserBox final : public IUserBox
{
public:
    void LimitText(int maxChars) override { limit = maxChars; }
    std::u16string GetText() const override { return text; }
    void SetText(const std::u16string& value) override
    {
        text = value;
        ++setTextCalls;
    }
    void SetEditSel(int start, int end) override
    {
        selStart = start;
        selEnd = end;
    }
    void AddString(const std::u16string& value) override { items.push_back(value); }

    std::u16string text;
    int limit = -1;
    int setTextCalls = 0;
    int selStart = -1;
    int selEnd = -1;
    std::vector<std::u16string> items;
};
} // namespace

TEST(UserNameTest, OnlyDigitsAsciiLettersAndUnderscorePass)
{
    const struct
    {
        char16_t c;
        bool allowed;
    } cases[] = {
        {u'0', true},   {u'9', true},       {u'A', true},       {u'Z', true},  {u'a', true},
        {u'z', true},   {u'_', true},       {u'/', false},      {u':', false}, {u'@', false},
        {u'[', false},  {u'`', false},      {u'{', false},      {u' ', false}, {u'-', false},
        {u'\0', false}, {u'\u00E9', false}, {u'\uFF21', false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(IsUserNameChar(c.c), c.allowed) << static_cast<int>(c.c);
    }
}

TEST(UserNameTest, PredefinedNamesComeInOrder)
{
    FakeUserBox box;
    FillUserNames(box);
    EXPECT_EQ(box.items, (std::vector<std::u16string>{u"ADMIN", u"USER_1", u"USER_2", u"USER_3",
                                                      u"USER_4", u"USER_5"}));
}

TEST(UserNameTest, EditsAreCheckedOverTheWholeText)
{
    const struct
    {
        std::u16string typed;
        std::u16string kept;
        bool warned;
    } cases[] = {
        {u"ADMIN", u"ADMIN", false},      {u"", u"", false},           {u"ADMIN ", u"ADMIN", true},
        {u"AD MIN", u"ADMIN", true},      {u"a-b c.d", u"abcd", true}, {u" ", u"", true},
        {u"us\u00E9r_1", u"usr_1", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
        FakeUserBox box;
        box.text = c.typed;
        RecordingMessageBox messages;
        std::u16string user = u"stale";
        CheckUserBoxEdit(box, user, messages);
        EXPECT_EQ(box.limit, 9);
        EXPECT_EQ(user, c.kept);
        EXPECT_EQ(box.text, c.kept);
        EXPECT_EQ(messages.Texts(),
                  c.warned ? std::vector<std::u16string>{kRule} : std::vector<std::u16string>{});
        if (c.warned)
        {
            EXPECT_EQ(box.setTextCalls, 1);
            EXPECT_EQ(box.selStart, static_cast<int>(c.kept.size()));
            EXPECT_EQ(box.selEnd, static_cast<int>(c.kept.size()));
        }
        else
        {
            EXPECT_EQ(box.setTextCalls, 0) << "an accepted edit leaves the box alone";
        }
    }
}
