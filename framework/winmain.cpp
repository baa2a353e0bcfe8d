// Kept in its own file so that console programs linking the framework (the
// unit tests) keep their main() as the entry point.
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, lpCmdLine, nCmdShow);
}
