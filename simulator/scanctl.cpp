// scanctl: drives the simulator DLL inside a running program over its
// control pipe, so scripts can "scan" codes and plug or unplug the scanner.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "pipe_protocol.h"
#include "scanctl_parse.h"

enum
{
    EXIT_DONE = 0,
    EXIT_USAGE = 2,
    EXIT_NO_ENGINE = 3,
    EXIT_DROPPED = 4,
};

static const char usage_text[] =
    "usage: scanctl <command>\n"
    "  decode <sym> <text>        scan text (sent as UTF-8)\n"
    "  decode-hex <sym> <hex>     scan the bytes given as hex digits\n"
    "  decode-file <sym> <path>   scan the bytes of a file\n"
    "  decode-null <sym>          a decode that hands the program no text (NULL)\n"
    "  unplug | plug              detach or attach the scanner\n"
    "  start-result <n|auto>      what StartDevice returns\n"
    "  device-result <n|auto>     what GetDevice returns (auto: 0 attached, -1 not)\n"
    "  quit                       ask the program to close\n"
    "  state | journal            show the engine state or its call journal\n"
    "  memory                     bytes the program's heaps hold, and the journal's share\n"
    "  batch                      run commands read from stdin, one a line\n"
    "<sym> is qr, dm, barcode or pdf417.\n"
    "Exit: 0 done, 2 usage error, 3 no engine running, 4 decode dropped.\n";

static std::string WideToUtf8(const wchar_t *text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    std::string out(size > 0 ? size : 1, '\0');

    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, NULL, NULL);
    out.resize(out.size() - 1);
    return out;
}

// Batch lines are bytes: take them as UTF-8 when they are, else as ANSI.
static std::wstring Utf8ToWide(const std::string &text)
{
    UINT cp = CP_UTF8;
    int size = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, text.c_str(), -1, NULL, 0);

    if (size <= 0)
    {
        cp = CP_ACP;
        size = MultiByteToWideChar(cp, 0, text.c_str(), -1, NULL, 0);
    }
    std::wstring out(size > 0 ? size : 1, L'\0');
    MultiByteToWideChar(cp, 0, text.c_str(), -1, &out[0], size);
    out.resize(out.size() - 1);
    return out;
}

// The wide command line keeps non-ASCII text intact whatever the ANSI code
// page is; every argument is passed on as UTF-8.
static std::vector<std::string> Utf8Args(void)
{
    std::vector<std::string> args;
    int argc;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);

    if (!argv)
        return args;
    for (int i = 1; i < argc; i++)
        args.push_back(WideToUtf8(argv[i]));
    LocalFree(argv);
    return args;
}

static bool ReadWholeFile(const std::string &path, std::string *data)
{
    HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    char buf[65536];
    DWORD got;
    bool ok = true;

    if (file == INVALID_HANDLE_VALUE)
        return false;
    data->clear();
    while ((ok = ReadFile(file, buf, sizeof(buf), &got, NULL)) && got > 0)
    {
        data->append(buf, got);
        if (data->size() > SIM_MAX_FRAME)
            break;
    }
    CloseHandle(file);
    return ok;
}

static bool PrepareRequest(CtlCommand *cmd, std::string *request, std::string *error)
{
    if (cmd->kind == CTL_DECODE_FILE)
    {
        std::string data;
        if (!ReadWholeFile(cmd->arg, &data))
        {
            *error = "cannot read '" + cmd->arg + "'";
            return false;
        }
        cmd->kind = CTL_DECODE;
        cmd->arg = data;
    }
    *request = CtlRequest(*cmd);
    if (request->size() > SIM_MAX_FRAME)
    {
        *error = "decode too large";
        return false;
    }
    return true;
}

static HANDLE ConnectEngine(void)
{
    DWORD deadline = GetTickCount() + 5000;

    for (;;)
    {
        HANDLE pipe = CreateFileA(SIM_PIPE_NAME, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                  OPEN_EXISTING, 0, NULL);
        if (pipe != INVALID_HANDLE_VALUE)
            return pipe;
        if (GetLastError() != ERROR_PIPE_BUSY)
        {
            fprintf(stderr, "scanctl: no engine running\n");
            return NULL;
        }
        LONG left = (LONG)(deadline - GetTickCount());
        if (left <= 0)
        {
            fprintf(stderr, "scanctl: engine busy\n");
            return NULL;
        }
        WaitNamedPipeA(SIM_PIPE_NAME, left);
    }
}

static bool Exchange(HANDLE pipe, const std::string &request, std::string *reply)
{
    if (WriteFrame(pipe, request) && ReadFrame(pipe, reply))
        return true;
    fprintf(stderr, "scanctl: engine went away\n");
    return false;
}

static bool StartsWith(const std::string &text, const char *prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

static void PrintReply(const std::string &reply)
{
    fwrite(reply.data(), 1, reply.size(), stdout);
    if (!reply.empty() && reply[reply.size() - 1] != '\n')
        fputc('\n', stdout);
    fflush(stdout);
}

static int ReplyExitCode(const std::string &reply)
{
    if (StartsWith(reply, "dropped:"))
        return EXIT_DROPPED;
    if (StartsWith(reply, "error:"))
        return EXIT_USAGE;
    return EXIT_DONE;
}

static int UsageError(const std::string &error)
{
    fprintf(stderr, "scanctl: %s\n%s", error.c_str(), usage_text);
    return EXIT_USAGE;
}

static bool ReadLine(std::string *line)
{
    int c;

    line->clear();
    while ((c = getc(stdin)) != EOF)
    {
        if (c == '\n')
            return true;
        *line += (char)c;
    }
    return !line->empty();
}

static int RunBatch(void)
{
    std::string line, request, reply, error;
    bool usage = false, dropped = false;
    HANDLE pipe = ConnectEngine();

    if (!pipe)
        return EXIT_NO_ENGINE;
    _setmode(_fileno(stdin), _O_BINARY);
    while (ReadLine(&line))
    {
        CtlCommand cmd;
        if (!line.empty() && line[line.size() - 1] == '\r')
            line.erase(line.size() - 1);
        if (line.empty())
            continue;
        if (!ParseBatchLine(line, &cmd, &error) || !PrepareRequest(&cmd, &request, &error))
        {
            PrintReply("error: " + error);
            usage = true;
            continue;
        }
        if (!Exchange(pipe, request, &reply))
            return EXIT_NO_ENGINE;
        PrintReply(reply);
        dropped |= ReplyExitCode(reply) == EXIT_DROPPED;
        usage |= ReplyExitCode(reply) == EXIT_USAGE;
    }
    CloseHandle(pipe);
    return usage ? EXIT_USAGE : dropped ? EXIT_DROPPED : EXIT_DONE;
}

static int RunOne(CtlCommand *cmd)
{
    std::string request, reply, error;
    HANDLE pipe;

    if (!PrepareRequest(cmd, &request, &error))
        return UsageError(error);
    pipe = ConnectEngine();
    if (!pipe)
        return EXIT_NO_ENGINE;
    bool ok = Exchange(pipe, request, &reply);
    CloseHandle(pipe);
    if (!ok)
        return EXIT_NO_ENGINE;
    PrintReply(reply);
    return ReplyExitCode(reply);
}

int main(void)
{
    CtlCommand cmd;
    std::string error;

    // Scripts parse the output: keep Wine's C runtime from adding CRs.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (!ParseCtlArgs(Utf8Args(), &cmd, &error))
        return UsageError(error);
    return cmd.kind == CTL_BATCH ? RunBatch() : RunOne(&cmd);
}
