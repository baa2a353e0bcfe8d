#include "histfile.h"

#include <shlobj.h>
#include <string.h>
#include <zlib.h>

namespace {

const char kMagic[8] = { 'N', 'Z', 'H', 'I', 'S', 'T', '\r', '\n' };
const unsigned kVersion = 1;
const unsigned kRecordMark = 0x52485A4E;   // "NZHR"
const size_t kFrameSize = 12;              // mark, length, CRC
const unsigned kMaxPayload = 1 << 20;

enum RecordFlags { FLAG_CUT = 1, FLAG_NO_CODE = 2, FLAG_RETYPED = 4, FLAG_DUPLICATE = 8 };

void Put32(std::string& out, unsigned n)
{
    out.append(reinterpret_cast<const char*>(&n), 4);
}

void PutText(std::string& out, const std::string& text)
{
    Put32(out, (unsigned)text.size());
    out += text;
}

unsigned Crc(const char* p, size_t n)
{
    return (unsigned)crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(p), (uInt)n);
}

// Reads what a payload holds; false when it does not hold a record.
class CReader {
public:
    CReader(const char* p, size_t n) : m_p(p), m_pEnd(p + n) {}
    bool Get(void* pOut, size_t n)
    {
        if ((size_t)(m_pEnd - m_p) < n)
            return false;
        memcpy(pOut, m_p, n);
        m_p += n;
        return true;
    }
    bool Text(std::string& text)
    {
        unsigned n = 0;
        if (!Get(&n, 4) || (size_t)(m_pEnd - m_p) < n)
            return false;
        text.assign(m_p, n);
        m_p += n;
        return true;
    }
    bool AtEnd() const { return m_p == m_pEnd; }

private:
    const char* m_p;
    const char* m_pEnd;
};

bool DecodePayload(const char* p, size_t n, ScanRecord* pRecord)
{
    CReader reader(p, n);
    unsigned char outcome = 0, symbology = 0;
    unsigned short flags = 0, cause = 0;
    int nRule = 0;
    unsigned nTyped = 0, nTotal = 0;
    std::string strCode, strProgram;
    if (!reader.Get(&pRecord->nTime, 8) || !reader.Get(&outcome, 1) || !reader.Get(&symbology, 1) ||
        !reader.Get(&flags, 2) || !reader.Get(&cause, 2) || !reader.Get(&nRule, 4) || !reader.Get(&nTyped, 4) ||
        !reader.Get(&nTotal, 4) || !reader.Text(pRecord->strBytes) || !reader.Text(strCode) ||
        !reader.Text(strProgram) || outcome > SCAN_DUPLICATE || symbology > SYMBOLOGY_PDF417)
        return false;
    pRecord->outcome = (ScanOutcome)outcome;
    pRecord->symbology = (ScanSymbology)symbology;
    pRecord->cause = cause;
    pRecord->nRule = nRule;
    pRecord->nTyped = nTyped;
    pRecord->nTotal = nTotal;
    pRecord->bCut = (flags & FLAG_CUT) != 0;
    pRecord->bNotKept = (flags & FLAG_NO_CODE) != 0;
    pRecord->bRetyped = (flags & FLAG_RETYPED) != 0;
    pRecord->bDuplicate = (flags & FLAG_DUPLICATE) != 0;
    pRecord->strCode = FromUtf8(strCode);
    pRecord->strProgram = FromUtf8(strProgram);
    return true;
}

}  // namespace

bool WriteAll(HANDLE hFile, std::string& data)
{
    DWORD nPut = 0;
    bool bWritten = data.empty() || (WriteFile(hFile, data.data(), (DWORD)data.size(), &nPut, NULL) && nPut == data.size());
    data.clear();
    return bWritten;
}

std::wstring HistoryFilePath()
{
    WCHAR szFolder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(NULL, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT, szFolder)))
        return std::wstring();
    std::wstring strFolder = std::wstring(szFolder) + L"\\Norza";
    CreateDirectoryW(strFolder.c_str(), NULL);
    return strFolder + L"\\history.dat";
}

std::string HistoryFileHeader()
{
    std::string header(kMagic, sizeof(kMagic));
    Put32(header, kVersion);
    Put32(header, 0);
    return header;
}

std::string EncodeRecord(const ScanRecord& record, bool bWithCode)
{
    bool bCode = bWithCode && !record.bNotKept;
    unsigned short flags = (record.bCut ? FLAG_CUT : 0) | (bCode ? 0 : FLAG_NO_CODE) |
                           (record.bRetyped ? FLAG_RETYPED : 0) | (record.bDuplicate ? FLAG_DUPLICATE : 0);
    std::string payload;
    payload.reserve(48 + record.strBytes.size() + record.strCode.size() * 3 + record.strProgram.size() * 3);
    payload.append(reinterpret_cast<const char*>(&record.nTime), 8);
    payload += (char)record.outcome;
    payload += (char)record.symbology;
    payload.append(reinterpret_cast<const char*>(&flags), 2);
    unsigned short cause = (unsigned short)record.cause;
    payload.append(reinterpret_cast<const char*>(&cause), 2);
    Put32(payload, (unsigned)record.nRule);
    Put32(payload, (unsigned)record.nTyped);
    Put32(payload, (unsigned)record.nTotal);
    PutText(payload, bCode ? record.strBytes : std::string());
    PutText(payload, bCode ? ToUtf8(record.strCode) : std::string());
    PutText(payload, ToUtf8(record.strProgram));
    std::string out;
    out.reserve(kFrameSize + payload.size());
    Put32(out, kRecordMark);
    Put32(out, (unsigned)payload.size());
    Put32(out, Crc(payload.data(), payload.size()));
    out += payload;
    return out;
}

bool ParseHistory(const std::string& data, HistoryFileContents* pContents)
{
    if (data.size() < kHistoryHeaderSize || memcmp(data.data(), kMagic, sizeof(kMagic)) != 0)
        return false;
    unsigned nVersion = 0;
    memcpy(&nVersion, data.data() + sizeof(kMagic), 4);
    if (nVersion != kVersion)
        return false;
    const char* p = data.data();
    size_t nPos = kHistoryHeaderSize, nEnd = data.size();
    pContents->records.reserve(pContents->records.size() + nEnd / 96);
    bool bInGap = false;   // between a damaged record and the next mark
    while (nPos + kFrameSize <= nEnd) {
        unsigned frame[3];
        memcpy(frame, p + nPos, sizeof(frame));
        ScanRecord record = {};
        if (frame[0] == kRecordMark && frame[1] <= kMaxPayload && nPos + kFrameSize + frame[1] <= nEnd &&
            Crc(p + nPos + kFrameSize, frame[1]) == frame[2] &&
            DecodePayload(p + nPos + kFrameSize, frame[1], &record)) {
            record.nStored = (unsigned)(kFrameSize + frame[1]);
            pContents->records.push_back(std::move(record));
            nPos += kFrameSize + frame[1];
            bInGap = false;
            continue;
        }
        if (!bInGap)
            ++pContents->nSkipped;
        bInGap = true;
        // The next mark: a record written after the damage.
        const char* pNext = static_cast<const char*>(memchr(p + nPos + 1, 'N', nEnd - nPos - 1));
        while (pNext && (size_t)(pNext - p) + 4 <= nEnd && memcmp(pNext, &kRecordMark, 4) != 0)
            pNext = static_cast<const char*>(memchr(pNext + 1, 'N', nEnd - (pNext + 1 - p)));
        if (!pNext || (size_t)(pNext - p) + 4 > nEnd)
            break;
        nPos = pNext - p;
    }
    if (nPos < nEnd && !bInGap && nPos + kFrameSize > nEnd)
        ++pContents->nSkipped;   // a torn last frame
    return true;
}

bool ReadHistoryFile(const std::wstring& strPath, unsigned long long nSize, HistoryFileContents* pContents)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    std::string data;
    bool bRead = nSize < 0x40000000;
    if (bRead) {
        data.resize((size_t)nSize);
        DWORD nGot = 0;
        bRead = nSize == 0 || (ReadFile(hFile, &data[0], (DWORD)nSize, &nGot, NULL) && nGot == nSize);
    }
    CloseHandle(hFile);
    return bRead && ParseHistory(data, pContents);
}

bool RewriteHistoryFile(const std::wstring& strPath, const std::vector<ScanRecord*>& records)
{
    std::wstring strTemp = strPath + L".tmp";
    HANDLE hFile = CreateFileW(strTemp.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    std::string data = HistoryFileHeader();
    bool bWritten = true;
    for (ScanRecord* pRecord : records) {
        size_t nBefore = data.size();
        data += EncodeRecord(*pRecord, !pRecord->bPasted);
        pRecord->nStored = (unsigned)(data.size() - nBefore);
        if (data.size() >= (1 << 20))
            bWritten = bWritten && WriteAll(hFile, data);
    }
    bWritten = bWritten && WriteAll(hFile, data);
    bWritten = bWritten && FlushFileBuffers(hFile);
    CloseHandle(hFile);
    if (!bWritten || !MoveFileExW(strTemp.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(strTemp.c_str());
        return false;
    }
    return true;
}
