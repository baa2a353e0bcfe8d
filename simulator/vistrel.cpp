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
//
// The engine is strict about being called from inside its own decode
// message: a call made while a decode message is unanswered, other than
// switching a symbology off, is journaled as "REENTERED <call>" and fails
// (StartDevice returns 0, every other -1) without changing anything.
#include "vistrel.h"

#include <string>

#include "sim_dll.h"

CRITICAL_SECTION sim_lock;
SimState sim_state;
HANDLE sim_changed;

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

// The calling thread handles a message another thread sent it and has not
// answered it yet (ReplyMessage answers before the handler returns).
static bool InUnansweredSend(void)
{
    DWORD flags = InSendMessageEx(NULL);
    return (flags & ISMEX_SEND) && !(flags & ISMEX_REPLIED);
}

static int Value(void) { return 1; }
static int Value(int value) { return value; }
static int Value(HWND) { return 1; }

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

    // Journals the call; false, marked in the journal, when it re-enters
    // the engine.
    template <typename... Arg> bool Journal(const char *name, Arg... arg)
    {
        bool reentered = SimReentered(&sim_state, InUnansweredSend(), name, Value(arg...));
        std::string marked = std::string("REENTERED ") + name;
        WriteJournalLine(SimJournal(&sim_state, reentered ? marked.c_str() : name, arg...));
        return !reentered;
    }
};

int VISTREL_API GetAppHandle(HWND hWnd)
{
    {
        ExportCall call;
        if (!call.Journal("GetAppHandle", hWnd))
            return -1;
        sim_state.window = hWnd;
    }
    StartPipeServer();
    return 0;
}

int VISTREL_API GetDevice(void)
{
    ExportCall call;
    if (!call.Journal("GetDevice"))
        return -1;
    return SimGetDevice(&sim_state);
}

int VISTREL_API StartDevice(void)
{
    ExportCall call;
    if (!call.Journal("StartDevice"))
        return 0;
    return SimStartDevice(&sim_state);
}

static int Release(const char *name)
{
    ExportCall call;
    if (!call.Journal(name))
        return -1;
    SimRelease(&sim_state);
    SetEvent(sim_changed);
    return 0;
}

int VISTREL_API ReleaseDevice(void)
{
    return Release("ReleaseDevice");
}

int VISTREL_API ReleaseLostDevice(void)
{
    return Release("ReleaseLostDevice");
}

static int SetValue(const char *name, int *field, int value)
{
    ExportCall call;
    if (!call.Journal(name, value))
        return -1;
    *field = value;
    return 0;
}

// A decode waiting for the engine to listen again is told at once.
static int SetSymbology(const char *name, Symbology sym, int value)
{
    ExportCall call;
    LARGE_INTEGER now;

    if (!call.Journal(name, value))
        return -1;
    QueryPerformanceCounter(&now);
    SimSetSymbology(&sim_state, sym, value, now.QuadPart);
    SetEvent(sim_changed);
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
    return SetSymbology("setQRable", SYM_QR, nOn);
}

int VISTREL_API setDMable(int nOn)
{
    return SetSymbology("setDMable", SYM_DM, nOn);
}

int VISTREL_API setBarcode(int nOn)
{
    return SetSymbology("setBarcode", SYM_BARCODE, nOn);
}

int VISTREL_API setPDF417(int nOn)
{
    return SetSymbology("setPDF417", SYM_PDF417, nOn);
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
        sim_changed = CreateEventA(NULL, FALSE, FALSE, NULL);
    }
    return TRUE;
}
