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

// LoadIconMetric picks the image the icon file holds for the size and scales
// down a larger one, never up; it exists from Windows Vista on.
typedef HRESULT(WINAPI* LoadIconMetricFn)(HINSTANCE, PCWSTR, int, HICON*);

static HICON LoadSmallIcon(HINSTANCE hInstance, int nIconId, int cx)
{
    static LoadIconMetricFn s_pfnLoadIconMetric = []() {
        HMODULE hComctl = GetModuleHandleA("comctl32.dll");
        return hComctl ? (LoadIconMetricFn)(void*)GetProcAddress(hComctl, "LoadIconMetric") : nullptr;
    }();
    HICON hIcon = NULL;
    if (s_pfnLoadIconMetric && cx == GetSystemMetrics(SM_CXSMICON) &&
        SUCCEEDED(s_pfnLoadIconMetric(hInstance, MAKEINTRESOURCEW(nIconId), 0 /* LIM_SMALL */, &hIcon)))
        return hIcon;
    return (HICON)LoadImageA(hInstance, MAKEINTRESOURCEA(nIconId), IMAGE_ICON, cx, cx, LR_DEFAULTCOLOR);
}

HICON LoadTrayIcon(HINSTANCE hInstance, int nIconId)
{
    static struct { int nId; int cx; HICON hIcon; } s_cache[32];
    const int cx = GetSystemMetrics(SM_CXSMICON);
    for (auto& entry : s_cache) {
        if (entry.nId == nIconId && entry.cx == cx && entry.hIcon)
            return entry.hIcon;
        if (!entry.hIcon) {
            entry.hIcon = LoadSmallIcon(hInstance, nIconId, cx);
            entry.nId = nIconId;
            entry.cx = cx;
            return entry.hIcon;
        }
    }
    return LoadIconA(hInstance, MAKEINTRESOURCEA(nIconId));
}
