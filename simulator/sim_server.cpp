// The control pipe: each client is served on a thread of its own, sending any
// number of framed requests over its connection. Like a camera that keeps
// decoding while the program handles the last result, a second client is
// answered (or refused) while the first waits for the program.
#include "vistrel.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim_dll.h"

// How long a decode waits for the engine to listen again at most.
static const DWORD kReadyTimeout = 120000;

static long long Microseconds(long long from, long long to, long long freq)
{
    return (to - from) * 1000000 / freq;
}

// With null set the program is handed no text at all (a NULL pointer), as an
// engine may do for a symbol it could not read. The reply comes once the
// decode is over for the engine, as a scanner is ready for the next symbol:
// the program has answered the message and switched the engine on again (or
// never switched it off), or released the device, or its window is gone.
// "delivered" is the time from the decode to that moment, "answered" the
// time the engine's thread waited in its SendMessage.
static std::string Decode(const std::string &name, const std::string &payload, bool null)
{
    Symbology sym;
    std::string refusal;
    HWND window;
    unsigned long switch_ons;
    int enabled[SYM_COUNT];
    LARGE_INTEGER freq, before, answered, now;
    long long ready = 0;
    char reply[96];

    if (!ParseSymbology(name, &sym))
        return "error: unknown symbology '" + name + "'";
    EnterCriticalSection(&sim_lock);
    refusal = SimDecodeRefusal(&sim_state, sym);
    window = sim_state.window;
    memcpy(enabled, sim_state.enabled, sizeof(enabled));
    LeaveCriticalSection(&sim_lock);
    if (!refusal.empty())
        return "dropped: " + refusal;
    if (!IsWindow(window))
        return "dropped: no window";

    // Sent, not posted: the handler reads the text before it answers.
    std::vector<char> text(payload.begin(), payload.end());
    text.push_back('\0');
    EnterCriticalSection(&sim_lock);
    sim_state.unanswered++;
    LeaveCriticalSection(&sim_lock);
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&before);
    SendMessageA(window, WM_SCAN_DECODED, null ? 0 : (WPARAM)&text[0], 0);
    QueryPerformanceCounter(&answered);
    // Switched on since the answer: switches of the decode before it, which
    // the program may still be making when this one is sent, do not count.
    EnterCriticalSection(&sim_lock);
    sim_state.unanswered--;
    switch_ons = sim_state.switch_ons;
    LeaveCriticalSection(&sim_lock);

    bool waited_any = false;
    for (DWORD waited = 0; ; waited += 20)
    {
        QueryPerformanceCounter(&now);
        EnterCriticalSection(&sim_lock);
        bool over = SimDecodeOver(&sim_state, sym, switch_ons, enabled, now.QuadPart, freq.QuadPart / 10);
        if (sim_state.switch_ons != switch_ons)
            ready = sim_state.switched_on_at;
        LeaveCriticalSection(&sim_lock);
        if (over || !IsWindow(window) || waited >= kReadyTimeout)
            break;
        WaitForSingleObject(sim_changed, 20);
        waited_any = true;
    }
    QueryPerformanceCounter(&now);
    if (!ready)
        ready = waited_any ? now.QuadPart : answered.QuadPart;
    snprintf(reply, sizeof(reply), "delivered %lld us answered %lld us",
             Microseconds(before.QuadPart, ready, freq.QuadPart),
             Microseconds(before.QuadPart, answered.QuadPart, freq.QuadPart));
    return reply;
}

// The program may exit while handling the quit message, so the reply goes out
// first and the client has read it before the message is sent.
static bool Quit(HANDLE pipe)
{
    HWND window;

    EnterCriticalSection(&sim_lock);
    window = sim_state.window;
    LeaveCriticalSection(&sim_lock);
    if (!WriteFrame(pipe, "ok"))
        return false;
    FlushFileBuffers(pipe);
    if (IsWindow(window))
        SendMessageA(window, WM_SCAN_QUIT, 0, 0);
    return true;
}

static std::string Control(const std::string &command)
{
    std::string reply;

    EnterCriticalSection(&sim_lock);
    reply = SimControl(&sim_state, command);
    LeaveCriticalSection(&sim_lock);
    return reply;
}

// What the program holds on its heaps, the engine's journal among it, for
// the long runs' leak check: unlike the resident size, it drops as soon as
// memory is freed. The journal's size is read first, so that this thread
// never waits for the engine's lock while holding a heap's.
static std::string Memory(void)
{
    HANDLE heaps[64];
    unsigned long long used = 0;
    unsigned long journal;
    char reply[64];

    EnterCriticalSection(&sim_lock);
    journal = (unsigned long)sim_state.journal.capacity() + 1;
    LeaveCriticalSection(&sim_lock);
    DWORD count = GetProcessHeaps(ARRAYSIZE(heaps), heaps);
    for (DWORD i = 0; i < count && i < ARRAYSIZE(heaps); i++)
    {
        PROCESS_HEAP_ENTRY entry = {};
        if (!HeapLock(heaps[i]))
            continue;
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                used += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    snprintf(reply, sizeof(reply), "heap %llu journal %lu", used, journal);
    return reply;
}

static void ServeClient(HANDLE pipe)
{
    std::string request, command, payload, verb, arg;

    while (ReadFrame(pipe, &request))
    {
        SplitRequest(request, &command, &payload);
        SplitCommand(command, &verb, &arg);
        if (verb == "quit" && arg.empty())
        {
            if (!Quit(pipe))
                return;
            continue;
        }
        std::string reply;
        if (verb == "decode" || verb == "decode-null")
            reply = Decode(arg, payload, verb == "decode-null");
        else if (verb == "memory" && arg.empty())
            reply = Memory();
        else
            reply = Control(command);
        if (!WriteFrame(pipe, reply))
            return;
    }
}

static HANDLE CreatePipeInstance(DWORD extraFlags)
{
    return CreateNamedPipeA(SIM_PIPE_NAME, PIPE_ACCESS_DUPLEX | extraFlags,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, NULL);
}

static DWORD WINAPI ClientThread(LPVOID param)
{
    HANDLE pipe = (HANDLE)param;

    ServeClient(pipe);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return 0;
}

// A program restarting itself starts its new copy while the old one may still
// be ending: the new copy takes the pipe over as soon as the old one lets go.
static HANDLE WaitForFirstInstance(void)
{
    for (;;)
    {
        HANDLE pipe = CreatePipeInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
        if (pipe != INVALID_HANDLE_VALUE)
            return pipe;
        Sleep(100);
    }
}

static DWORD WINAPI ServerThread(LPVOID param)
{
    HANDLE pipe = param ? (HANDLE)param : WaitForFirstInstance();

    while (pipe != INVALID_HANDLE_VALUE)
    {
        if (ConnectNamedPipe(pipe, NULL) || GetLastError() == ERROR_PIPE_CONNECTED)
        {
            HANDLE client = CreateThread(NULL, 0, ClientThread, pipe, 0, NULL);
            if (client)
            {
                CloseHandle(client);
                pipe = CreatePipeInstance(0);
                continue;
            }
        }
        DisconnectNamedPipe(pipe);
    }
    return 0;
}

// Creating the pipe here rather than in the thread means that once
// GetAppHandle returns, scanctl can connect. While another copy of the
// program serves the pipe, this copy waits in the background to take over.
void StartPipeServer(void)
{
    static bool started;
    HMODULE self;
    HANDLE pipe, thread;

    EnterCriticalSection(&sim_lock);
    bool first = !started;
    started = true;
    LeaveCriticalSection(&sim_lock);
    if (!first)
        return;

    pipe = CreatePipeInstance(FILE_FLAG_FIRST_PIPE_INSTANCE);
    // The thread runs until the process ends; pin the DLL so that a
    // FreeLibrary cannot unmap its code.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       (LPCSTR)&StartPipeServer, &self);
    thread = CreateThread(NULL, 0, ServerThread,
                          pipe == INVALID_HANDLE_VALUE ? NULL : pipe, 0, NULL);
    if (thread)
        CloseHandle(thread);
    else if (pipe != INVALID_HANDLE_VALUE)
        CloseHandle(pipe);
}
