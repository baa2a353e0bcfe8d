#include <windows.h>

#include "export.h"
#include "filecalls.h"
#include "named.h"
#include "record.h"

namespace {

// A spreadsheet runs a cell that starts so as a formula.
bool LooksLikeFormula(const std::wstring& str)
{
    return !str.empty() && wcschr(L"=+-@\t\r\n", str[0]) != NULL;
}

bool IsControl(wchar_t ch)
{
    return ch < 0x20 || ch == 0x7F;
}

// A control character would end a row or a field, or be dropped, in some
// reader: it is written as its name, braces doubled so no text reads as one.
std::wstring Named(const std::wstring& str)
{
    std::wstring out;
    for (size_t i = 0; i < str.size(); ++i)
        AppendNamed(out, str, i, false);
    return out;
}

std::wstring Field(const std::wstring& strText, const std::wstring& strSeparator)
{
    std::wstring str = strText;
    for (wchar_t ch : strText) {
        if (IsControl(ch)) {
            str = Named(strText);
            break;
        }
    }
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

std::wstring ExportTimeText(unsigned long long nTime)
{
    SYSTEMTIME time = LocalTimeOf(nTime);
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
        text += ExportTimeText(row.nTime);
        for (const std::wstring& str : row.texts)
            text += strSeparator + Field(str, strSeparator);
        text += L"\r\n";
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

bool WriteWholeFile(const std::wstring& strPath, const std::string& data)
{
    std::wstring strTemp = strPath + L".tmp";
    HANDLE hFile = g_historyFileCalls.pOpen(strTemp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD nPut = 0;
    bool bWritten = g_historyFileCalls.pWrite(hFile, data.data(), (DWORD)data.size(), &nPut, NULL) &&
                    nPut == data.size() && FlushFileBuffers(hFile);
    CloseHandle(hFile);
    bWritten = bWritten && g_historyFileCalls.pMove(strTemp.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!bWritten) {
        DWORD dwError = GetLastError();
        DeleteFileW(strTemp.c_str());
        SetLastError(dwError);
    }
    return bWritten;
}
