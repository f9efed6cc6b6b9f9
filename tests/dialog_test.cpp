// Tests of the question's decisions: keys, focus, clicks and lines typed at a terminal.
#include "../app/dialog.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

TEST(Dialog, KeysAnswerDirectlyOrPressTheFocusedButton)
{
    struct Case {
        unsigned long key;
        Button focus;
        Answer answer;
    } cases[] = {
        {XK_y, BUTTON_NO, ANSWER_YES},        {XK_Y, BUTTON_NO, ANSWER_YES},
        {XK_n, BUTTON_YES, ANSWER_NO},        {XK_N, BUTTON_YES, ANSWER_NO},
        {XK_Escape, BUTTON_YES, ANSWER_NO},   {XK_Return, BUTTON_NO, ANSWER_NO},
        {XK_Return, BUTTON_YES, ANSWER_YES},  {XK_KP_Enter, BUTTON_YES, ANSWER_YES},
        {XK_space, BUTTON_YES, ANSWER_YES},   {XK_space, BUTTON_NO, ANSWER_NO},
        {XK_a, BUTTON_YES, ANSWER_NONE},      {XK_Tab, BUTTON_YES, ANSWER_NONE},
        {XK_Shift_L, BUTTON_NO, ANSWER_NONE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(answer_for_key(c.key, c.focus), c.answer) << "keysym " << std::hex << c.key;
}

TEST(Dialog, NoIsFocusedFirstAndTabOrArrowsMoveTheFocus)
{
    EXPECT_EQ(DEFAULT_BUTTON, BUTTON_NO);
    EXPECT_EQ(answer_for_key(XK_Return, DEFAULT_BUTTON), ANSWER_NO);
    for (unsigned long key : {XK_Tab, XK_ISO_Left_Tab, XK_Left, XK_Right, XK_Up, XK_Down}) {
        EXPECT_EQ(focus_after_key(key, BUTTON_NO), BUTTON_YES) << std::hex << key;
        EXPECT_EQ(focus_after_key(key, BUTTON_YES), BUTTON_NO) << std::hex << key;
    }
    for (unsigned long key : {XK_Return, XK_y, XK_a})
        EXPECT_EQ(focus_after_key(key, BUTTON_NO), BUTTON_NO) << std::hex << key;
}

TEST(Dialog, ClicksFindTheButtonUnderThePointerEdgesIncluded)
{
    const int middle = BUTTON_TOP + BUTTON_H / 2;
    struct Case {
        int x, y;
        Button button;
    } cases[] = {
        {YES_LEFT, middle, BUTTON_YES},
        {YES_LEFT + BUTTON_W, middle, BUTTON_YES},
        {YES_LEFT - 1, middle, BUTTON_NONE},
        {YES_LEFT + BUTTON_W + 1, middle, BUTTON_NONE},
        {NO_LEFT, BUTTON_TOP, BUTTON_NO},
        {NO_LEFT + BUTTON_W, BUTTON_TOP + BUTTON_H, BUTTON_NO},
        {NO_LEFT + 10, BUTTON_TOP - 1, BUTTON_NONE},
        {NO_LEFT + 10, BUTTON_TOP + BUTTON_H + 1, BUTTON_NONE},
        {DIALOG_W / 2, TEXT_BASELINE, BUTTON_NONE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(button_at(c.x, c.y), c.button) << c.x << "," << c.y;
    EXPECT_LT(YES_LEFT + BUTTON_W, NO_LEFT);
    EXPECT_LE(NO_LEFT + BUTTON_W, DIALOG_W);
    EXPECT_LE(BUTTON_TOP + BUTTON_H, DIALOG_H);
}

TEST(Dialog, OnlyYOrYesTypedAtTheTerminalMeansYes)
{
    for (const char *line : {"y\n", "Y\n", "yes\n", "YES", "  Yes \n"})
        EXPECT_TRUE(typed_yes(line)) << line;
    for (const char *line : {"\n", "", "n\n", "no\n", "yess\n", "ye\n", "y y\n", "yes please\n"})
        EXPECT_FALSE(typed_yes(line)) << line;
}
