#include "sim_state.h"

#include <cstdio>
#include <cstring>

void SimInit(SimState *state, bool attached, bool start_override_set, int start_override)
{
    state->attached = attached;
    state->started = false;
    state->start_override_set = start_override_set;
    state->start_override = start_override;
    state->device_override_set = false;
    state->device_override = 0;
    for (int i = 0; i < SYM_COUNT; i++)
        state->enabled[i] = 0;
    state->beep = 0;
    state->beep_time = 0;
    state->decode_time = 0;
    state->window = NULL;
    state->journal.clear();
    state->unanswered = 0;
    state->switch_ons = 0;
    state->switched_on_at = 0;
}

// Like the start result, an override stands whatever is plugged in: only -1
// means "no scanner" to the program, and it must take any other value as one.
int SimGetDevice(const SimState *state)
{
    if (state->device_override_set)
        return state->device_override;
    return state->attached ? 0 : -1;
}

// An override applies even with no scanner attached: the program must cope
// with an engine that claims success without hardware, or returns odd codes.
int SimStartDevice(SimState *state)
{
    int result;

    if (state->start_override_set)
        result = state->start_override;
    else
        result = state->attached ? 1 : 0;
    if (result != 0)
        state->started = true;
    return result;
}

void SimRelease(SimState *state)
{
    state->started = false;
}

static std::string AppendJournal(SimState *state, const std::string &line)
{
    state->journal += line;
    state->journal += '\n';
    return line + '\n';
}

std::string SimJournal(SimState *state, const char *name)
{
    return AppendJournal(state, name);
}

std::string SimJournal(SimState *state, const char *name, int arg)
{
    char buf[64];

    snprintf(buf, sizeof(buf), "%s %d", name, arg);
    return AppendJournal(state, buf);
}

std::string SimJournal(SimState *state, const char *name, HWND arg)
{
    char buf[64];

    snprintf(buf, sizeof(buf), "%s 0x%08lX", name, (unsigned long)(ULONG_PTR)arg);
    return AppendJournal(state, buf);
}

std::string SimDecodeRefusal(const SimState *state, Symbology sym)
{
    if (!state->started)
        return "device not started";
    if (!state->enabled[sym])
        return std::string(SymbologyName(sym)) + " disabled";
    return "";
}

void SimSetSymbology(SimState *state, Symbology sym, int on, long long now)
{
    state->enabled[sym] = on;
    if (on)
    {
        state->switch_ons++;
        state->switched_on_at = now;
    }
}

bool SimReentered(const SimState *state, bool in_send, const char *name, int arg)
{
    static const char *const switches[] = { "setQRable", "setDMable", "setBarcode", "setPDF417" };

    if (!in_send || state->unanswered <= 0)
        return false;
    for (const char *s : switches)
    {
        if (arg == 0 && strcmp(s, name) == 0)
            return false;
    }
    return true;
}

bool SimDecodeOver(const SimState *state, Symbology sym, unsigned long switch_ons_before,
                   const int enabled_before[SYM_COUNT], long long now, long long settle)
{
    if (!state->started)
        return true;
    if (state->switch_ons == switch_ons_before)
        return state->enabled[sym] != 0;
    for (int i = 0; i < SYM_COUNT; ++i)
    {
        if (enabled_before[i] && !state->enabled[i])
            return now - state->switched_on_at >= settle;
    }
    return true;
}

bool SimParseOverride(const std::string &text, bool *set, int *value)
{
    int parsed;

    if (text == "auto")
    {
        *set = false;
        return true;
    }
    if (!ParseInt(text, &parsed))
        return false;
    *set = true;
    *value = parsed;
    return true;
}

static std::string FormatOverride(bool set, int value)
{
    char buf[16];

    if (!set)
        return "auto";
    snprintf(buf, sizeof(buf), "%d", value);
    return buf;
}

std::string SimFormatState(const SimState *state)
{
    char buf[512];

    snprintf(buf, sizeof(buf),
             "attached %d\nstarted %d\nstart-result %s\ndevice-result %s\n"
             "qr %d\ndm %d\nbarcode %d\npdf417 %d\n"
             "beep %d\nbeep-time %d\ndecode-time %d\nwindow 0x%08lX",
             state->attached ? 1 : 0, state->started ? 1 : 0,
             FormatOverride(state->start_override_set, state->start_override).c_str(),
             FormatOverride(state->device_override_set, state->device_override).c_str(),
             state->enabled[SYM_QR], state->enabled[SYM_DM],
             state->enabled[SYM_BARCODE], state->enabled[SYM_PDF417],
             state->beep, state->beep_time, state->decode_time,
             (unsigned long)(ULONG_PTR)state->window);
    return buf;
}

void SplitCommand(const std::string &command, std::string *verb, std::string *rest)
{
    size_t space = command.find(' ');

    *verb = command.substr(0, space);
    *rest = space == std::string::npos ? std::string() : command.substr(space + 1);
}

static std::string SetOverride(const std::string &verb, const std::string &arg, bool *set,
                               int *value)
{
    if (!SimParseOverride(arg, set, value))
        return "error: bad " + verb + " '" + arg + "'";
    return "ok";
}

static std::string Journal(const SimState *state)
{
    const std::string &text = state->journal;

    return text.empty() ? text : text.substr(0, text.size() - 1);
}

std::string SimControl(SimState *state, const std::string &command)
{
    std::string verb, arg;

    SplitCommand(command, &verb, &arg);
    if (verb == "start-result")
        return SetOverride(verb, arg, &state->start_override_set, &state->start_override);
    if (verb == "device-result")
        return SetOverride(verb, arg, &state->device_override_set, &state->device_override);
    if (verb != "unplug" && verb != "plug" && verb != "state" && verb != "journal")
        return "error: unknown command " + verb;
    if (!arg.empty())
        return "error: unexpected argument to " + verb;
    if (verb == "unplug")
    {
        state->attached = false;
        state->started = false;
    }
    else if (verb == "plug")
        state->attached = true;
    else
        return verb == "state" ? SimFormatState(state) : Journal(state);
    return "ok";
}
