#include "autostart.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

// The program, started in its own folder, where it finds configDecodeTime.ini.
HRESULT CreateShortcut(const std::wstring& strLink)
{
    WCHAR szExe[MAX_PATH] = {}, szDir[MAX_PATH] = {};
    GetModuleFileNameW(NULL, szExe, MAX_PATH);
    lstrcpynW(szDir, szExe, MAX_PATH);
    PathRemoveFileSpecW(szDir);
    HRESULT hrInit = CoInitialize(NULL);
    IShellLinkW* pLink = NULL;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&pLink));
    if (SUCCEEDED(hr)) {
        pLink->SetPath(szExe);
        pLink->SetWorkingDirectory(szDir);
        IPersistFile* pFile = NULL;
        hr = pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile));
        if (SUCCEEDED(hr)) {
            hr = pFile->Save(strLink.c_str(), TRUE);
            pFile->Release();
        }
        pLink->Release();
    }
    if (SUCCEEDED(hrInit))
        CoUninitialize();
    return hr;
}

}  // namespace

std::wstring StartupShortcutPath(bool bCreateFolder)
{
    WCHAR szDir[MAX_PATH] = {};
    int nFolder = CSIDL_STARTUP | (bCreateFolder ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(SHGetFolderPathW(NULL, nFolder, NULL, SHGFP_TYPE_CURRENT, szDir)))
        return std::wstring();
    return std::wstring(szDir) + L"\\Norza.lnk";
}

bool IsAutostartOn()
{
    std::wstring strLink = StartupShortcutPath(false);
    return !strLink.empty() && GetFileAttributesW(strLink.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HRESULT SetAutostartShortcut(bool bOn, std::wstring* pstrLink)
{
    *pstrLink = StartupShortcutPath(bOn);
    if (pstrLink->empty())
        return E_FAIL;
    if (bOn)
        return CreateShortcut(*pstrLink);
    return DeleteFileW(pstrLink->c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND
        ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}
