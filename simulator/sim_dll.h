// Shared between the simulator DLL's exports and its pipe server.
#pragma once

#include <windows.h>

#include "sim_state.h"

// Exports run on the program's UI thread, the pipe server on its own thread;
// both touch sim_state only while holding sim_lock, and never hold it across
// a SendMessage.
extern CRITICAL_SECTION sim_lock;
extern SimState sim_state;
// Set when a symbology goes on or the device is released, for a decode
// waiting for the engine to listen again.
extern HANDLE sim_changed;

// Starts serving the control pipe; later calls do nothing.
void StartPipeServer(void);
