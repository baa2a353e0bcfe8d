// Stand-in for the scanning engine DLL: the same twelve exports, backed by a
// simulated scanner that scanctl drives over a named pipe.
//
// Return values: GetDevice the device-result override when one is set,
// otherwise 0 when a scanner is attached and -1 when not; StartDevice the
// start-result override when one is set, otherwise 1 when attached and 0 when
// not. Every other export returns 0.
//
// Initial state comes from vistrel.ini beside the DLL, read at the first
// exported call:
//   [device]
//   attached=1        ; 0 = no scanner plugged in
//   start-result=1    ; any int StartDevice returns; absent or "auto" = by attached
//   device-result=5   ; any int GetDevice returns; absent or "auto" = by attached
// Every exported call is appended as one line to vistrel.journal beside the
// DLL as it happens, so the file is complete even if the process is killed.
#include "vistrel.h"

#include <string>

#include "sim_dll.h"

CRITICAL_SECTION sim_lock;
SimState sim_state;

static HMODULE dll_module;
static bool settings_loaded;
static std::string journal_path;

static std::string SiblingPath(const char *name)
{
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(dll_module, path, sizeof(path));
    std::string dir(path, len < sizeof(path) ? len : 0);

    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + name;
}

// An override that is absent or not a number leaves the result to the
// attached setting.
static void ReadOverride(const std::string &ini, const char *key, bool *set, int *value)
{
    char text[32];

    GetPrivateProfileStringA("device", key, "", text, sizeof(text), ini.c_str());
    if (!SimParseOverride(text, set, value))
        *set = false;
}

static void LoadSettings(void)
{
    std::string ini = SiblingPath("vistrel.ini");
    bool start_set = false;
    int start_value = 0;
    int attached = GetPrivateProfileIntA("device", "attached", 1, ini.c_str());

    ReadOverride(ini, "start-result", &start_set, &start_value);
    SimInit(&sim_state, attached != 0, start_set, start_value);
    ReadOverride(ini, "device-result", &sim_state.device_override_set,
                 &sim_state.device_override);
    journal_path = SiblingPath("vistrel.journal");
}

// Reopened per call so that nothing is lost however the process ends, and so
// that a test may delete the file between runs.
static void WriteJournalLine(const std::string &line)
{
    DWORD written;
    HANDLE file = CreateFileA(journal_path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);

    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteFile(file, line.data(), (DWORD)line.size(), &written, NULL);
    CloseHandle(file);
}

// Held for the body of every export: loads the settings on first use and
// journals the call.
class ExportCall
{
public:
    ExportCall()
    {
        EnterCriticalSection(&sim_lock);
        if (!settings_loaded)
        {
            LoadSettings();
            settings_loaded = true;
        }
    }
    ~ExportCall() { LeaveCriticalSection(&sim_lock); }

    template <typename... Arg> void Journal(const char *name, Arg... arg)
    {
        WriteJournalLine(SimJournal(&sim_state, name, arg...));
    }
};

int VISTREL_API GetAppHandle(HWND hWnd)
{
    {
        ExportCall call;
        call.Journal("GetAppHandle", hWnd);
        sim_state.window = hWnd;
    }
    StartPipeServer();
    return 0;
}

int VISTREL_API GetDevice(void)
{
    ExportCall call;
    call.Journal("GetDevice");
    return SimGetDevice(&sim_state);
}

int VISTREL_API StartDevice(void)
{
    ExportCall call;
    call.Journal("StartDevice");
    return SimStartDevice(&sim_state);
}

int VISTREL_API ReleaseDevice(void)
{
    ExportCall call;
    call.Journal("ReleaseDevice");
    SimRelease(&sim_state);
    return 0;
}

int VISTREL_API ReleaseLostDevice(void)
{
    ExportCall call;
    call.Journal("ReleaseLostDevice");
    SimRelease(&sim_state);
    return 0;
}

static int SetValue(const char *name, int *field, int value)
{
    ExportCall call;
    call.Journal(name, value);
    *field = value;
    return 0;
}

int VISTREL_API SetBeep(int nOn)
{
    return SetValue("SetBeep", &sim_state.beep, nOn);
}

int VISTREL_API SetBeepTime(int nTime)
{
    return SetValue("SetBeepTime", &sim_state.beep_time, nTime);
}

int VISTREL_API SetDecodeTime(int nMilliseconds)
{
    return SetValue("SetDecodeTime", &sim_state.decode_time, nMilliseconds);
}

int VISTREL_API setQRable(int nOn)
{
    return SetValue("setQRable", &sim_state.enabled[SYM_QR], nOn);
}

int VISTREL_API setDMable(int nOn)
{
    return SetValue("setDMable", &sim_state.enabled[SYM_DM], nOn);
}

int VISTREL_API setBarcode(int nOn)
{
    return SetValue("setBarcode", &sim_state.enabled[SYM_BARCODE], nOn);
}

int VISTREL_API setPDF417(int nOn)
{
    return SetValue("setPDF417", &sim_state.enabled[SYM_PDF417], nOn);
}

// Only records the module and prepares the lock: files are read at the first
// call and the pipe thread is never waited for here (loader lock).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
    {
        dll_module = instance;
        InitializeCriticalSection(&sim_lock);
    }
    return TRUE;
}
