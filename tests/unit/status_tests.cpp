#include <gtest/gtest.h>

#include "resource.h"
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
