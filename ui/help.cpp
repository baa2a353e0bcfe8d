#include "help.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "logfile.h"
#include "resource.h"
#include "settings.h"
#include "uitext.h"

namespace {

// The guide's sections, named alike in both languages.
const wchar_t* const kAnchors[] = {
    L"", L"settings-window", L"output-options", L"sounds", L"scan-history", L"rules",
};

std::wstring ProgramFolder()
{
    std::wstring strPath(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(NULL, &strPath[0], (DWORD)strPath.size());
        if (n == 0)
            return L"";
        if (n < strPath.size()) {
            strPath.resize(n);
            break;
        }
        strPath.resize(strPath.size() * 2);
    }
    return strPath.substr(0, strPath.find_last_of(L"\\/") + 1);
}

// The command that opens an .html file, as the system's associations say
// (the user's choice of browser included); empty when there is none.
std::wstring HtmlCommand()
{
    WCHAR szCommand[2048];
    DWORD cch = ARRAYSIZE(szCommand);
    if (AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, L".html", L"open", szCommand, &cch) != S_OK)
        return L"";
    WCHAR szExpanded[4096];
    DWORD n = ExpandEnvironmentStringsW(szCommand, szExpanded, ARRAYSIZE(szExpanded));
    return n && n <= ARRAYSIZE(szExpanded) ? szExpanded : szCommand;
}

bool StartCommand(std::wstring strCommand)
{
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    strCommand.push_back(L'\0');
    if (!CreateProcessW(NULL, &strCommand[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool Open(const std::wstring& strTarget)
{
    return (INT_PTR)ShellExecuteW(NULL, L"open", strTarget.c_str(), NULL, NULL, SW_SHOWNORMAL) > 32;
}

}  // namespace

std::wstring HelpFileUrl(const std::wstring& strPath, HelpTopic topic)
{
    std::wstring strUrl = L"file:";
    // A share's path (\\server\share\...) keeps its server after the two slashes.
    if (strPath.compare(0, 2, L"\\\\") != 0)
        strUrl += L"///";
    int cb = WideCharToMultiByte(CP_UTF8, 0, strPath.c_str(), (int)strPath.size(), NULL, 0, NULL, NULL);
    std::string strUtf8(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, strPath.c_str(), (int)strPath.size(), &strUtf8[0], cb, NULL, NULL);
    for (unsigned char ch : strUtf8) {
        if (ch == '\\')
            strUrl += L'/';
        else if (isalnum(ch) || strchr("-._~/:", ch))
            strUrl += (wchar_t)ch;
        else {
            wchar_t szHex[4];
            wsprintfW(szHex, L"%%%02X", ch);
            strUrl += szHex;
        }
    }
    if (topic != HELP_GUIDE)
        strUrl += std::wstring(L"#") + kAnchors[topic];
    return strUrl;
}

std::wstring HelpCommandLine(const std::wstring& strCommand, const std::wstring& strUrl)
{
    std::wstring strLine;
    bool bPlaced = false;
    for (size_t i = 0; i < strCommand.size(); ++i) {
        wchar_t ch = i + 1 < strCommand.size() && strCommand[i] == L'%' ? strCommand[i + 1] : 0;
        if (ch == L'1' || ch == L'L' || ch == L'l') {
            strLine += strUrl;
            bPlaced = true;
            ++i;
        } else if (ch == L'*') {
            ++i;
        } else {
            strLine += strCommand[i];
        }
    }
    if (!bPlaced)
        strLine += L" \"" + strUrl + L"\"";
    return strLine;
}

void ShowHelp(HWND hOwner, HelpTopic topic)
{
    CPolicy policy;
    policy.Load();
    std::wstring strUrl;
    if (ReadHelpUrl(policy, &strUrl)) {
        if (Open(strUrl))
            return;
    } else {
        // ShellExecute of a file drops the #section: the browser the system
        // opens .html files with is started with a file:// address instead.
        std::wstring strPath = ProgramFolder() + UiText(IDS_HELP_GUIDE);
        strUrl = HelpFileUrl(strPath, topic);
        std::wstring strCommand = HtmlCommand();
        if (GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES &&
            ((!strCommand.empty() && StartCommand(HelpCommandLine(strCommand, strUrl))) || Open(strPath)))
            return;
    }
    DWORD dwError = GetLastError();
    LogWrite("Help", "neither the user guide nor the organisation's page could be opened: error %lu", dwError);
    MessageBoxW(hOwner, UiFormat(IDS_HELP_NOT_OPENED, strUrl, UiSystemText(dwError)).c_str(),
                UiText(IDS_NOTICE_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
}
