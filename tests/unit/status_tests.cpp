#include <gtest/gtest.h>

#include "resource.h"
#include "notice.h"
#include "status.h"

// Every combination of the four flags, as the tray should show it.
TEST(StatusIcon, EachSymbologyAloneHasItsIconAndTheRestShareOne)
{
    struct Row { int qr, dm, barcode, pdf417, icon; };
    const Row rows[] = {
        { 0, 0, 0, 0, IDI_NONE_ENABLED }, { 0, 0, 0, 1, IDI_MIXED },
        { 0, 0, 1, 0, IDI_BARCODE_ONLY }, { 0, 0, 1, 1, IDI_MIXED },
        { 0, 1, 0, 0, IDI_DM_ONLY },      { 0, 1, 0, 1, IDI_MIXED },
        { 0, 1, 1, 0, IDI_MIXED },        { 0, 1, 1, 1, IDI_MIXED },
        { 1, 0, 0, 0, IDI_QR_ONLY },      { 1, 0, 0, 1, IDI_MIXED },
        { 1, 0, 1, 0, IDI_MIXED },        { 1, 0, 1, 1, IDI_MIXED },
        { 1, 1, 0, 0, IDI_MIXED },        { 1, 1, 0, 1, IDI_MIXED },
        { 1, 1, 1, 0, IDI_MIXED },        { 1, 1, 1, 1, IDI_MIXED },
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.icon, ChooseStatusIcon(r.qr, r.dm, r.barcode, r.pdf417))
            << r.qr << r.dm << r.barcode << r.pdf417;
    }
}

// The tray draws small icons: the image made for that size, not the large one
// scaled down; loaded once, however often the status timer asks.
TEST(StatusIcon, TrayIconIsTheSmallImageLoadedOnce)
{
    HICON hIcon = LoadTrayIcon(GetModuleHandleA(NULL), IDI_APP);
    ASSERT_NE(nullptr, hIcon);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(hIcon, &info));
    BITMAP bm;
    GetObjectA(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), bm.bmWidth);
    EXPECT_NE(GetSystemMetrics(SM_CXICON), bm.bmWidth);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(hIcon, LoadTrayIcon(GetModuleHandleA(NULL), IDI_APP));
}

// Each notice once for its cause; again only after the cause has changed.
TEST(Notices, OncePerCauseUntilTheCauseChanges)
{
    CNoticeGate gate;
    EXPECT_FALSE(gate.Pass(NOTICE_TYPING, NOTICE_NONE));
    EXPECT_TRUE(gate.Pass(NOTICE_TYPING, NOTICE_TYPED_SELF));
    EXPECT_FALSE(gate.Pass(NOTICE_TYPING, NOTICE_TYPED_SELF));
    EXPECT_TRUE(gate.Pass(NOTICE_TYPING, NOTICE_TYPED_NO_FOCUS));
    EXPECT_FALSE(gate.Pass(NOTICE_TYPING, NOTICE_NONE));     // typed: all well again
    EXPECT_TRUE(gate.Pass(NOTICE_TYPING, NOTICE_TYPED_NO_FOCUS));

    // The subjects do not mask each other.
    EXPECT_TRUE(gate.Pass(NOTICE_DEVICE, NOTICE_START_FAILED));
    EXPECT_FALSE(gate.Pass(NOTICE_DEVICE, NOTICE_START_FAILED));
    EXPECT_FALSE(gate.Pass(NOTICE_TYPING, NOTICE_TYPED_NO_FOCUS));
    EXPECT_TRUE(gate.Pass(NOTICE_DEVICE, NOTICE_DEVICE_BACK));
    EXPECT_TRUE(gate.Pass(NOTICE_DEVICE, NOTICE_DEVICE_LOST));
    EXPECT_FALSE(gate.Pass(NOTICE_DEVICE, NOTICE_DEVICE_LOST));
    EXPECT_TRUE(gate.Pass(NOTICE_DEVICE, NOTICE_DEVICE_BACK));
}
