#include "pipe_protocol.h"

#include <climits>

static const char *const sym_names[SYM_COUNT] = { "qr", "dm", "barcode", "pdf417" };

const char *SymbologyName(Symbology sym)
{
    return (sym >= 0 && sym < SYM_COUNT) ? sym_names[sym] : "?";
}

bool ParseSymbology(const std::string &name, Symbology *sym)
{
    for (int i = 0; i < SYM_COUNT; i++)
    {
        if (name == sym_names[i])
        {
            *sym = (Symbology)i;
            return true;
        }
    }
    return false;
}

bool ParseInt(const std::string &text, int *value)
{
    size_t i = 0;
    bool negative = false;
    long long n = 0;

    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    for (; i < text.size(); i++)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        n = n * 10 + (text[i] - '0');
        if (n > (long long)INT_MAX + 1)
            return false;
    }
    if (negative)
        n = -n;
    if (n > INT_MAX || n < INT_MIN)
        return false;
    *value = (int)n;
    return true;
}

void EncodeFrameLength(size_t length, unsigned char header[4])
{
    for (int i = 0; i < 4; i++)
        header[i] = (unsigned char)(length >> (8 * i));
}

bool DecodeFrameLength(const unsigned char header[4], DWORD *length)
{
    DWORD n = 0;

    for (int i = 3; i >= 0; i--)
        n = (n << 8) | header[i];
    if (n > SIM_MAX_FRAME)
        return false;
    *length = n;
    return true;
}

std::string BuildRequest(const std::string &command, const std::string &payload)
{
    return command + '\n' + payload;
}

void SplitRequest(const std::string &request, std::string *command,
                  std::string *payload)
{
    size_t nl = request.find('\n');

    if (nl == std::string::npos)
    {
        *command = request;
        payload->clear();
        return;
    }
    *command = request.substr(0, nl);
    *payload = request.substr(nl + 1);
}

static bool WriteAll(HANDLE pipe, const void *data, DWORD size)
{
    const char *p = (const char *)data;
    DWORD written;

    while (size > 0)
    {
        if (!WriteFile(pipe, p, size, &written, NULL) || written == 0)
            return false;
        p += written;
        size -= written;
    }
    return true;
}

static bool ReadAll(HANDLE pipe, void *data, DWORD size)
{
    char *p = (char *)data;
    DWORD got;

    while (size > 0)
    {
        if (!ReadFile(pipe, p, size, &got, NULL) || got == 0)
            return false;
        p += got;
        size -= got;
    }
    return true;
}

bool WriteFrame(HANDLE pipe, const std::string &data)
{
    unsigned char header[4];

    if (data.size() > SIM_MAX_FRAME)
        return false;
    EncodeFrameLength(data.size(), header);
    return WriteAll(pipe, header, sizeof(header)) &&
           WriteAll(pipe, data.data(), (DWORD)data.size());
}

bool ReadFrame(HANDLE pipe, std::string *data)
{
    unsigned char header[4];
    DWORD length;

    if (!ReadAll(pipe, header, sizeof(header)) || !DecodeFrameLength(header, &length))
        return false;
    data->assign(length, '\0');
    return length == 0 || ReadAll(pipe, &(*data)[0], length);
}
