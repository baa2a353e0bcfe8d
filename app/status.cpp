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

HICON LoadTrayIcon(HINSTANCE hInstance, int nIconId)
{
    static struct { int nId; HICON hIcon; } s_cache[16];
    for (auto& entry : s_cache) {
        if (entry.nId == nIconId && entry.hIcon)
            return entry.hIcon;
        if (!entry.hIcon) {
            entry.hIcon = (HICON)LoadImageA(hInstance, MAKEINTRESOURCEA(nIconId), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXSMICON),
                                            GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
            entry.nId = nIconId;
            return entry.hIcon;
        }
    }
    return LoadIconA(hInstance, MAKEINTRESOURCEA(nIconId));
}
