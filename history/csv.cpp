#include <windows.h>

#include "export.h"
#include "record.h"

namespace {

// A spreadsheet runs a cell that starts so as a formula.
bool LooksLikeFormula(const std::wstring& str)
{
    return !str.empty() && wcschr(L"=+-@\t\r\n", str[0]) != NULL;
}

std::wstring Field(const std::wstring& str, const std::wstring& strSeparator)
{
    bool bFormula = LooksLikeFormula(str);
    if (!bFormula && str.find_first_of(L"\"\r\n") == std::wstring::npos && str.find(strSeparator) == std::wstring::npos)
        return str;
    std::wstring out = bFormula ? L"\"'" : L"\"";
    for (wchar_t ch : str) {
        if (ch == L'"')
            out += L'"';
        out += ch;
    }
    return out + L"\"";
}

}  // namespace

std::wstring ListSeparator()
{
    WCHAR szSeparator[8] = L"";
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, szSeparator, ARRAYSIZE(szSeparator)) || !szSeparator[0])
        return L",";
    return szSeparator;
}

// Local time as "2026-12-10 13:45:07": read as a date and time by a
// spreadsheet in every locale.
static std::wstring TimeField(unsigned long long nTime)
{
    FILETIME utc = { (DWORD)nTime, (DWORD)(nTime >> 32) }, local;
    SYSTEMTIME time = {};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &time);
    WCHAR szText[32];
    wsprintfW(szText, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour,
              time.wMinute, time.wSecond);
    return szText;
}

std::string CsvText(const ExportTable& table, const std::wstring& strSeparator)
{
    std::wstring text;
    for (size_t i = 0; i < table.header.size(); ++i)
        text += (i ? strSeparator : L"") + Field(table.header[i], strSeparator);
    text += L"\r\n";
    for (const ExportRow& row : table.rows) {
        text += TimeField(row.nTime);
        for (const std::wstring& str : row.texts)
            text += strSeparator + Field(str, strSeparator);
        text += L"\r\n";
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

bool WriteWholeFile(const std::wstring& strPath, const std::string& data)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD nPut = 0;
    bool bWritten = WriteFile(hFile, data.data(), (DWORD)data.size(), &nPut, NULL) && nPut == data.size();
    CloseHandle(hFile);
    if (!bWritten)
        DeleteFileW(strPath.c_str());
    return bWritten;
}
