/* Types its argument as key presses through keybd_event, as a person at the
 * keyboard would. Input from one process reaches another process's focused
 * control only when the sender owns a window, so it makes a hidden one.
 *
 *   sendkeys <text>
 */
#include <windows.h>

static void Key(BYTE vk, DWORD flags)
{
    keybd_event(vk, 0, flags, 0);
}

int main(int argc, char **argv)
{
    const unsigned char *p;
    HWND hwnd;

    if (argc != 2)
        return 2;
    hwnd = CreateWindowExA(0, "STATIC", "sendkeys", WS_POPUP, 0, 0, 1, 1,
                           NULL, NULL, NULL, NULL);
    for (p = (const unsigned char *)argv[1]; *p; p++) {
        SHORT r = VkKeyScanA((char)*p);
        BOOL bShift = (r >> 8) & 1;
        if (r == -1)
            return 1;
        if (bShift)
            Key(VK_SHIFT, 0);
        Key(LOBYTE(r), 0);
        Key(LOBYTE(r), KEYEVENTF_KEYUP);
        if (bShift)
            Key(VK_SHIFT, KEYEVENTF_KEYUP);
    }
    DestroyWindow(hwnd);
    return 0;
}
