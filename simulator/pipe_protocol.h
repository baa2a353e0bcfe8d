// What the simulator DLL and scanctl share: the pipe name, the symbology
// names and the message framing.
//
// Every message on the pipe, either way, is a 4-byte little-endian length
// followed by that many bytes. A request is command text, optionally followed
// by one '\n' and raw payload bytes; a response is text without a final
// newline (lines of a multi-line response are separated by '\n').
#pragma once

#include <windows.h>
#include <string>

#define SIM_PIPE_NAME "\\\\.\\pipe\\vistrel-sim"

// Large enough for any decode a test could want, small enough that a corrupt
// length cannot make the reader allocate without bound.
#define SIM_MAX_FRAME (16u * 1024u * 1024u)

enum Symbology { SYM_QR, SYM_DM, SYM_BARCODE, SYM_PDF417, SYM_COUNT };

const char *SymbologyName(Symbology sym);
bool ParseSymbology(const std::string &name, Symbology *sym);

// Strict decimal int: optional sign, digits only, no overflow.
bool ParseInt(const std::string &text, int *value);

void EncodeFrameLength(size_t length, unsigned char header[4]);
// Fails for lengths above SIM_MAX_FRAME.
bool DecodeFrameLength(const unsigned char header[4], DWORD *length);

std::string BuildRequest(const std::string &command, const std::string &payload);
void SplitRequest(const std::string &request, std::string *command,
                  std::string *payload);

bool WriteFrame(HANDLE pipe, const std::string &data);
bool ReadFrame(HANDLE pipe, std::string *data);
