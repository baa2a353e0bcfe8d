// Finding where a decode goes, and the elevation check against recorded
// answers of the token query.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "target.h"

namespace {

// What GetTokenInformation answered for a process, keyed by process id.
enum Answer { ELEVATED, NOT_ELEVATED, UNREADABLE };
std::map<DWORD, Answer> g_answers;
const DWORD kTargetPid = 0x7FFF0004;

BOOL RecordedAnswer(DWORD dwProcessId, DWORD* pdwElevated)
{
    Answer answer = g_answers.count(dwProcessId) ? g_answers[dwProcessId] : UNREADABLE;
    if (answer == UNREADABLE)
        return FALSE;
    *pdwElevated = answer == ELEVATED ? 1 : 0;
    return TRUE;
}

// Answers in the order asked: for a target in this very process, which
// cannot differ from us in rights otherwise.
std::vector<Answer> g_inOrder;

BOOL AnswerInOrder(DWORD, DWORD* pdwElevated)
{
    Answer answer = g_inOrder.empty() ? UNREADABLE : g_inOrder.front();
    if (!g_inOrder.empty())
        g_inOrder.erase(g_inOrder.begin());
    *pdwElevated = answer == ELEVATED ? 1 : 0;
    return answer != UNREADABLE;
}

TargetStatus Check(Answer target, Answer self)
{
    g_answers = { { kTargetPid, target }, { GetCurrentProcessId(), self } };
    return CheckElevation(kTargetPid, RecordedAnswer);
}

}  // namespace

TEST(Elevation, OnlyAKnownHigherTargetIsRefused)
{
    EXPECT_EQ(TARGET_ELEVATED, Check(ELEVATED, NOT_ELEVATED));
    EXPECT_EQ(TARGET_OK, Check(ELEVATED, ELEVATED));
    EXPECT_EQ(TARGET_OK, Check(NOT_ELEVATED, NOT_ELEVATED));
    EXPECT_EQ(TARGET_OK, Check(NOT_ELEVATED, ELEVATED));
    // Unknown means type: a needless notice would be worse than a lost key.
    EXPECT_EQ(TARGET_OK, Check(UNREADABLE, NOT_ELEVATED));
    EXPECT_EQ(TARGET_OK, Check(ELEVATED, UNREADABLE));
    EXPECT_EQ(TARGET_OK, Check(UNREADABLE, UNREADABLE));
}

TEST(Elevation, TheRealQueryReadsThisProcessAndNotAMissingOne)
{
    DWORD dwElevated = 7;
    EXPECT_TRUE(ReadTokenElevation(GetCurrentProcessId(), &dwElevated));
    EXPECT_TRUE(dwElevated == 0 || dwElevated == 1);
    EXPECT_NE(ELEVATION_UNKNOWN, ProcessElevation(GetCurrentProcessId()));
    EXPECT_EQ(ELEVATION_UNKNOWN, ProcessElevation(0xFFFFFFF0));
}

// The foreground window of this process, with or without a focused field.
TEST(FindTypingTarget, SelfFocusAndElevation)
{
    HWND hWnd = CreateWindowExA(0, "STATIC", "target", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40,
                                NULL, NULL, NULL, NULL);
    HWND hEdit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 60, 20, hWnd,
                                 NULL, NULL, NULL);
    ASSERT_TRUE(SetForegroundWindow(hWnd));
    ASSERT_EQ(hWnd, GetForegroundWindow());
    CTypingTarget target;

    EXPECT_EQ(TARGET_SELF, FindTypingTarget(hWnd, &target, RecordedAnswer));
    // Any other window of the same program in front counts the same.
    HWND hOther = CreateWindowExA(0, "STATIC", "other", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    EXPECT_EQ(TARGET_SELF, FindTypingTarget(hOther, &target, RecordedAnswer));
    DestroyWindow(hOther);

    SetFocus(NULL);
    g_answers = { { GetCurrentProcessId(), NOT_ELEVATED } };
    EXPECT_EQ(TARGET_NO_FOCUS, FindTypingTarget(NULL, &target, RecordedAnswer));
    EXPECT_EQ(hWnd, target.hWindow);
    // Rights come first: an elevated target's focus cannot be read at all.
    g_inOrder = { ELEVATED, NOT_ELEVATED };
    EXPECT_EQ(TARGET_ELEVATED, FindTypingTarget(NULL, &target, AnswerInOrder));

    SetFocus(hEdit);
    g_answers = { { GetCurrentProcessId(), NOT_ELEVATED } };
    EXPECT_EQ(TARGET_OK, FindTypingTarget(NULL, &target, RecordedAnswer));
    EXPECT_EQ(hEdit, target.hFocus);
    EXPECT_EQ(GetCurrentProcessId(), target.dwProcessId);
    EXPECT_EQ(GetCurrentThreadId(), target.dwThreadId);

    g_answers = { { GetCurrentProcessId(), ELEVATED } };   // as if the target were elevated
    EXPECT_EQ(TARGET_OK, FindTypingTarget(NULL, &target, RecordedAnswer));   // and so are we
    DestroyWindow(hWnd);
}
