#include "savedclip.h"

#include <string.h>

#include "saverproto.h"

namespace {

void FreeData(UINT nFormat, HANDLE hData)
{
    switch (KindOf(nFormat)) {
    case DATA_GLOBAL:
        GlobalFree(hData);
        break;
    case DATA_ENHMETAFILE:
        DeleteEnhMetaFile((HENHMETAFILE)hData);
        break;
    case DATA_METAFILEPICT:
        if (const METAFILEPICT* p = (const METAFILEPICT*)GlobalLock(hData)) {
            DeleteMetaFile(p->hMF);
            GlobalUnlock(hData);
        }
        GlobalFree(hData);
        break;
    case DATA_NONE:
        break;
    }
}

}  // namespace

HGLOBAL GlobalCopy(const void* pData, SIZE_T cb)
{
    HGLOBAL hCopy = GlobalAlloc(GMEM_MOVEABLE, cb ? cb : 1);
    void* p = hCopy ? GlobalLock(hCopy) : NULL;
    if (!p) {
        if (hCopy)
            GlobalFree(hCopy);
        return NULL;
    }
    memcpy(p, pData, cb);
    GlobalUnlock(hCopy);
    return hCopy;
}

CSavedClipboard& CSavedClipboard::operator=(CSavedClipboard&& other)
{
    if (this != &other) {
        Clear();
        m_formats = std::move(other.m_formats);
        other.m_formats.clear();
    }
    return *this;
}

bool CSavedClipboard::Add(UINT nFormat, HGLOBAL hBytes, DWORD cb)
{
    HANDLE hData = NULL;
    DataKind kind = KindOf(nFormat);
    const BYTE* pBytes = kind != DATA_GLOBAL ? (const BYTE*)GlobalLock(hBytes) : NULL;
    if (kind == DATA_GLOBAL) {
        hData = hBytes;
    } else if (pBytes && kind == DATA_ENHMETAFILE) {
        hData = SetEnhMetaFileBits(cb, pBytes);
    } else if (pBytes && kind == DATA_METAFILEPICT && cb > sizeof(MetafileHead)) {
        const MetafileHead* pHead = (const MetafileHead*)pBytes;
        METAFILEPICT mfp = { pHead->mm, pHead->xExt, pHead->yExt,
                             SetMetaFileBitsEx(cb - sizeof(MetafileHead), pBytes + sizeof(MetafileHead)) };
        hData = mfp.hMF ? GlobalCopy(&mfp, sizeof(mfp)) : NULL;
        if (mfp.hMF && !hData)
            DeleteMetaFile(mfp.hMF);
    }
    if (pBytes)
        GlobalUnlock(hBytes);
    if (kind != DATA_GLOBAL)
        GlobalFree(hBytes);
    if (!hData)
        return false;
    try {
        m_formats.push_back({ nFormat, hData });
    } catch (...) {
        FreeData(nFormat, hData);
        return false;
    }
    return true;
}

void CSavedClipboard::Restore()
{
    for (const Format& f : m_formats) {
        if (!SetClipboardData(f.nFormat, f.hData))
            FreeData(f.nFormat, f.hData);
    }
    m_formats.clear();
}

void CSavedClipboard::Clear()
{
    for (const Format& f : m_formats)
        FreeData(f.nFormat, f.hData);
    m_formats.clear();
}
