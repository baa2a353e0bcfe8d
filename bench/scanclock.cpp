// Sends decodes to the stand-in engine as "scanctl decode-file" does, over one
// connection kept for the whole run, and prints the performance counter just
// before each request goes out and just after its reply came back, so a
// benchmark can time a decode against the moment its last character arrives.
//
//   scanclock          reads "<symbology> <path>" lines from stdin
//
// Prints one line a decode: "start <count> end <count> freq <counts a second>
// <engine reply>".
#include <windows.h>

#include <stdio.h>
#include <string>

#include "pipe_protocol.h"
#include "scanctl_parse.h"

namespace {

bool ReadWholeFile(const std::string& path, std::string* data)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t got;
    data->clear();
    while ((got = fread(buf, 1, sizeof buf, f)) > 0)
        data->append(buf, got);
    fclose(f);
    return true;
}

HANDLE Connect()
{
    for (int tries = 0; tries < 50; ++tries) {
        HANDLE pipe = CreateFileA(SIM_PIPE_NAME, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                  OPEN_EXISTING, 0, NULL);
        if (pipe != INVALID_HANDLE_VALUE)
            return pipe;
        Sleep(100);
    }
    return NULL;
}

}  // namespace

int main()
{
    HANDLE pipe = Connect();
    if (!pipe) {
        fprintf(stderr, "scanclock: no engine running\n");
        return 3;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);

    char line[4096];
    while (fgets(line, sizeof line, stdin)) {
        std::string text(line), name, path, reply;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        size_t space = text.find(' ');
        CtlCommand cmd;
        cmd.kind = CTL_DECODE;
        if (space == std::string::npos || !ParseSymbology(text.substr(0, space), &cmd.sym) ||
            !ReadWholeFile(text.substr(space + 1), &cmd.arg)) {
            printf("error: %s\n", text.c_str());
            fflush(stdout);
            continue;
        }
        std::string request = CtlRequest(cmd);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        bool ok = WriteFrame(pipe, request) && ReadFrame(pipe, &reply);
        QueryPerformanceCounter(&end);
        if (!ok) {
            fprintf(stderr, "scanclock: engine went away\n");
            return 3;
        }
        printf("start %lld end %lld freq %lld %s\n", (long long)start.QuadPart,
               (long long)end.QuadPart, (long long)freq.QuadPart, reply.c_str());
        fflush(stdout);
    }
    CloseHandle(pipe);
    return 0;
}
