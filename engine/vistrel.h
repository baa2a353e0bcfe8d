// The scanning engine library's interface: twelve plain cdecl exports and the
// two messages it sends to the window handed to GetAppHandle.
#pragma once

#include <windows.h>

// wParam: pointer to the NUL-terminated 8-bit text of one decode, valid until
// the handler returns (the engine sends, it does not post). Handler returns 0.
#define WM_SCAN_DECODED (WM_USER + 123)
// The engine asks the program to close.
#define WM_SCAN_QUIT    (WM_USER + 124)

#ifdef VISTREL_EXPORTS
#define VISTREL_API __cdecl
#else
#define VISTREL_API __declspec(dllimport) __cdecl
#endif

#ifdef __cplusplus
extern "C" {
#endif

int VISTREL_API GetAppHandle(HWND hWnd);
int VISTREL_API GetDevice(void);          // -1: no scanner attached
int VISTREL_API StartDevice(void);        // 1: started
int VISTREL_API ReleaseDevice(void);
int VISTREL_API ReleaseLostDevice(void);
int VISTREL_API SetBeep(int nOn);
int VISTREL_API SetBeepTime(int nTime);
int VISTREL_API SetDecodeTime(int nMilliseconds);
int VISTREL_API setQRable(int nOn);
int VISTREL_API setDMable(int nOn);
int VISTREL_API setBarcode(int nOn);
int VISTREL_API setPDF417(int nOn);

#ifdef __cplusplus
}
#endif
