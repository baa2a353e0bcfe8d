#include "record.h"

std::string ToUtf8(const std::wstring& str)
{
    if (str.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, str.data(), (int)str.size(), NULL, 0, NULL, NULL);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, str.data(), (int)str.size(), &out[0], n, NULL, NULL);
    return out;
}

std::wstring FromUtf8(const std::string& str)
{
    // Most codes and every program name are ASCII: no conversion to ask for.
    size_t i = 0;
    while (i < str.size() && (unsigned char)str[i] < 0x80)
        ++i;
    if (i == str.size())
        return std::wstring(str.begin(), str.end());
    int n = MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), NULL, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, str.data(), (int)str.size(), &out[0], n);
    return out;
}
