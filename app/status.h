// Which tray icon shows the engine's state.
#pragma once

#include <windows.h>

// The icon for the given symbology flags (each 0 or 1): one icon for each
// symbology alone, except PDF417, which shares the icon of combinations.
int ChooseStatusIcon(int bQR, int bDM, int bBarcode, int bPDF417);

// The icon resource at the small-icon size of the screen's DPI, which the
// tray draws, from the image of that size or the next larger one; LoadIcon
// would give the large size for the shell to scale down. Loaded once for
// each size and kept for the life of the program.
HICON LoadTrayIcon(HINSTANCE hInstance, int nIconId);
