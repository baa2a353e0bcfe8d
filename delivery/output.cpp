#include "output.h"

CString ReplaceControlChars(LPCSTR pszText, const CControlOutput* pControls, int nCount,
                            std::vector<UnicodeRun>* pLost)
{
    CString strOut;
    size_t nRun = 0;
    for (const char* p = pszText; *p; ++p) {
        if (pLost && nRun < pLost->size() && (*pLost)[nRun].nOffset == p - pszText)
            (*pLost)[nRun++].nOffset = strOut.GetLength();
        const CControlOutput* pFound = NULL;
        for (int i = 0; i < nCount && !pFound; ++i) {
            if (pControls[i].ch == *p && !pControls[i].bKeep)
                pFound = &pControls[i];
        }
        if (pFound)
            strOut += pFound->strWith;
        else
            strOut += *p;
    }
    return strOut;
}

CRepeatFilter::CRepeatFilter(PFN_CLOCK pfnClock)
    : m_pfnClock(pfnClock), m_bTyped(false), m_dwTypedAt(0)
{
}

bool CRepeatFilter::IsRepeat(LPCSTR pszText, int nWindowMs)
{
    if (m_strLast != pszText) {
        m_strLast = pszText;
        m_bTyped = false;
        return false;
    }
    // Unsigned difference: right across the tick count's wrap after 49 days.
    return nWindowMs > 0 && m_bTyped && m_pfnClock() - m_dwTypedAt < (DWORD)nWindowMs;
}

void CRepeatFilter::NoteTyped()
{
    m_bTyped = true;
    m_dwTypedAt = m_pfnClock();
}
