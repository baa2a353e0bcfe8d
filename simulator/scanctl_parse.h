// scanctl's command syntax, for both the command line and batch lines.
#pragma once

#include <string>
#include <vector>

#include "pipe_protocol.h"

enum CtlKind
{
    CTL_DECODE,         // arg: the bytes to decode (from text or hex)
    CTL_DECODE_FILE,    // arg: UTF-8 path of the file holding the bytes
    CTL_DECODE_NULL,    // no text at all: the program gets a NULL pointer
    CTL_UNPLUG,
    CTL_PLUG,
    CTL_START_RESULT,   // arg: "auto" or a decimal int
    CTL_DEVICE_RESULT,  // arg: "auto" or a decimal int
    CTL_QUIT,
    CTL_STATE,
    CTL_JOURNAL,
    CTL_MEMORY,
    CTL_BATCH,
};

struct CtlCommand
{
    CtlKind kind;
    Symbology sym;
    std::string arg;
};

// Even number of hex digits, nothing else; "" is zero bytes.
bool ParseHex(const std::string &hex, std::string *bytes);

// args excludes the program name; all strings are UTF-8.
bool ParseCtlArgs(const std::vector<std::string> &args, CtlCommand *cmd, std::string *error);

// One batch line without its line end. For decode, decode-hex and
// decode-file everything after the space that follows the symbology is the
// text, hex or path, so it may contain spaces or be empty; other words
// (decode-null's too) are separated by blanks.
bool ParseBatchLine(const std::string &line, CtlCommand *cmd, std::string *error);

// The request for any command but decode-file and batch.
std::string CtlRequest(const CtlCommand &cmd);
