// The simulated scanner's state and the rules that change it, kept free of
// locking, files and threads so that the DLL's exports and its pipe server
// are thin wrappers around them.
#pragma once

#include <windows.h>
#include <string>

#include "pipe_protocol.h"

struct SimState
{
    bool attached;
    bool started;               // a StartDevice succeeded and nothing released it since
    bool start_override_set;    // StartDevice returns start_override instead of the
    int start_override;         // attached-based result
    bool device_override_set;   // GetDevice returns device_override instead of
    int device_override;        // 0 (attached) or -1 (not)
    int enabled[SYM_COUNT];     // symbology switches as last set
    int beep;
    int beep_time;
    int decode_time;
    HWND window;
    std::string journal;        // one line per exported call, each ending in '\n'
    int unanswered;             // decode messages sent to the window, not yet answered
    unsigned long switch_ons;   // how often a symbology was switched on
    long long switched_on_at;   // performance counter at the last of them
};

void SimInit(SimState *state, bool attached, bool start_override_set, int start_override);

int SimGetDevice(const SimState *state);
int SimStartDevice(SimState *state);
void SimRelease(SimState *state);

// Appends a journal line ("Name", "Name 12", "Name 0x0001002A") and returns it.
std::string SimJournal(SimState *state, const char *name);
std::string SimJournal(SimState *state, const char *name, int arg);
std::string SimJournal(SimState *state, const char *name, HWND arg);

// Why a decode of this symbology would not reach the program, or "" if it
// would (the window's existence is checked separately, outside any lock).
std::string SimDecodeRefusal(const SimState *state, Symbology sym);

// Sets a symbology switch as setQRable and the others do.
void SimSetSymbology(SimState *state, Symbology sym, int on, long long now);

// Whether a call comes from inside a decode message the program has not
// answered yet: a decode is unanswered and the calling thread is handling a
// message another thread sent it, unanswered (in_send). The engine's thread
// is then blocked in its SendMessage, and an engine that waits for that
// thread (as in its ReleaseDevice) would never return. A decode handler may
// only switch symbologies off before it answers (arg: the call's value, 1
// for calls without one); any other call re-enters the engine.
bool SimReentered(const SimState *state, bool in_send, const char *name, int arg = 1);

// Whether a decode of the symbology, answered when switch_ons stood at
// switch_ons_before, sent when the switches stood at enabled_before,
// is over for the engine: it may decode that symbology again and the
// program never silenced it; or every symbology on before is on again (the
// program switches them on one call after another: the first alone is not
// the end); or some were switched on and settle counts have passed since
// the last (the user switched one off meanwhile); or the device stopped.
bool SimDecodeOver(const SimState *state, Symbology sym, unsigned long switch_ons_before,
                   const int enabled_before[SYM_COUNT], long long now, long long settle);

// Reads a result override as the INI file and the pipe give it: "auto" (or,
// from the INI file, nothing) clears it, a decimal int sets it. False for
// anything else, leaving the override as it was.
bool SimParseOverride(const std::string &text, bool *set, int *value);

std::string SimFormatState(const SimState *state);

// Runs a pipe command that only touches the state (everything except decode
// and quit) and returns the response text.
std::string SimControl(SimState *state, const std::string &command);

// Splits "verb rest" at the first space; rest is empty without a space.
void SplitCommand(const std::string &command, std::string *verb, std::string *rest);
