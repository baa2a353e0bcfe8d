// Writes the history's export formats for the tests to read back with
// Python's own readers:
//   exportfile csv <codes> <out> <separator>   a CSV of the codes
//   exportfile xlsx <codes> <out>              a workbook of the codes
//   exportfile zip <codes> <out>               a zip of an empty, a text and
//                                              a part that does not deflate
// <codes>: UTF-8, the codes separated by NUL. Row i's time is
// 2026-12-10 08:00:00 UTC plus i seconds; its columns: the code, then "#i".
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "export.h"
#include "zipwriter.h"

static std::wstring FromUtf8(const std::string& str)
{
    if (str.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), NULL, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), &out[0], n);
    return out;
}

static std::string ReadWhole(const wchar_t* pszPath)
{
    std::string data;
    HANDLE hFile = CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return data;
    char buffer[4096];
    DWORD n;
    while (ReadFile(hFile, buffer, sizeof(buffer), &n, NULL) && n)
        data.append(buffer, n);
    CloseHandle(hFile);
    return data;
}

static ExportTable Table(const std::string& codes)
{
    const unsigned long long kStart = 134413632000000000ULL;   // 2026-12-10 08:00:00 UTC
    ExportTable table;
    table.header = { L"Time", L"Code", L"Row" };
    size_t nStart = 0;
    for (size_t i = 0; nStart <= codes.size(); ++i) {
        size_t nEnd = codes.find('\0', nStart);
        if (nEnd == std::string::npos)
            nEnd = codes.size();
        table.rows.push_back({ kStart + i * 10000000ULL,
                               { FromUtf8(codes.substr(nStart, nEnd - nStart)), L"#" + std::to_wstring(i) } });
        nStart = nEnd + 1;
    }
    return table;
}

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring strMode = argc > 1 ? argv[1] : L"";
    std::string data;
    if (strMode == L"csv" && argc == 5) {
        data = CsvText(Table(ReadWhole(argv[2])), argv[4]);
    } else if (strMode == L"xlsx" && argc == 4) {
        data = XlsxData(Table(ReadWhole(argv[2])));
    } else if (strMode == L"zip" && argc == 4) {
        std::string text, noise(300000, '\0');
        for (int i = 0; i < 5000; ++i)
            text += "line " + std::to_string(i) + "\n";
        unsigned n = 1;
        for (char& ch : noise)
            ch = (char)((n = n * 1103515245 + 12345) >> 16);
        CZipWriter zip;
        if (!zip.Add("empty", "") || !zip.Add("dir/text.txt", text) || !zip.Add("noise.bin", noise))
            return 1;
        data = zip.Finish();
    } else {
        return 2;
    }
    return !data.empty() && WriteWholeFile(argv[3], data) ? 0 : 1;
}
