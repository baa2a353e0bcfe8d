#include "status.h"

#include "resource.h"

int ChooseStatusIcon(int bQR, int bDM, int bBarcode, int bPDF417)
{
    if (bQR == 1 && bDM == 0 && bBarcode == 0 && bPDF417 == 0)
        return IDI_QR_ONLY;
    if (bQR != 0)
        return IDI_MIXED;
    if (bDM == 1 && bBarcode == 0 && bPDF417 == 0)
        return IDI_DM_ONLY;
    if (bDM == 0 && bBarcode == 1 && bPDF417 == 0)
        return IDI_BARCODE_ONLY;
    if (bDM == 0 && bBarcode == 0 && bPDF417 == 0)
        return IDI_NONE_ENABLED;
    return IDI_MIXED;
}
