// The entry of windowed programs on the framework; console programs (the unit
// tests) keep their own main().
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, lpCmdLine, nCmdShow);
}
