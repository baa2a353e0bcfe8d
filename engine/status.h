// Which tray icon shows the engine's state.
#pragma once

// The icon for the given symbology flags (each 0 or 1): one icon for each
// symbology alone, except PDF417, which shares the icon of combinations.
int ChooseStatusIcon(int bQR, int bDM, int bBarcode, int bPDF417);
