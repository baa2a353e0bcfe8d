#include "histfile.h"

#include <shlobj.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <deque>
#include <new>

#include "filecalls.h"

CHistoryFileCalls g_historyFileCalls = { CreateFileW, ReadFile, WriteFile, MoveFileExW };

namespace {

const char kMagic[8] = { 'N', 'Z', 'H', 'I', 'S', 'T', '\r', '\n' };
const unsigned kVersion = 1;
const unsigned kRecordMark = 0x52485A4E;   // "NZHR"
const size_t kFrameSize = 12;              // mark, length, CRC
// The largest record that can be: its fields, a code of kKeepWhole bytes,
// its text of kKeepWhole characters in UTF-8, a program name of
// kKeepProgram characters.
const unsigned kMaxPayload = 38 + kKeepWhole + 3 * kKeepWhole + 3 * kKeepProgram;

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
    pRecord->cause = (HistoryCause)cause;
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
    bool bWritten = data.empty() || (g_historyFileCalls.pWrite(hFile, data.data(), (DWORD)data.size(), &nPut, NULL) && nPut == data.size());
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

namespace {

// The CRC-32 of every prefix of a piece of the file: the CRC of any frame in
// it then costs one product, so that finding the next record after damage
// costs time in proportion to the file, whatever lengths its frames claim.
class CPrefixCrc {
public:
    CPrefixCrc() : m_ops(kMaxPayload + 1, 0)
    {
        for (unsigned n = 0; n < 256; ++n) {
            unsigned c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            m_table[n] = c;
        }
    }
    void Take(const char* p, size_t n)
    {
        m_prefix.resize(n + 1);
        unsigned c = 0xFFFFFFFFU;
        m_prefix[0] = 0;
        for (size_t i = 0; i < n; ++i) {
            c = m_table[(c ^ (unsigned char)p[i]) & 0xFF] ^ (c >> 8);
            m_prefix[i + 1] = ~c;
        }
    }
    // The CRC of bytes [nFrom, nFrom + n) of the piece taken.
    unsigned Of(size_t nFrom, size_t n)
    {
        if (!m_ops[n])
            m_ops[n] = crc32_combine_gen((z_off_t)n);
        return m_prefix[nFrom + n] ^ (unsigned)crc32_combine_op(m_prefix[nFrom], 0, m_ops[n]);
    }

private:
    unsigned m_table[256];
    std::vector<unsigned> m_prefix;
    std::vector<uLong> m_ops;   // by length: 0 until needed
};

// The records as they are read, only the newest within the bounds kept.
class CParse {
public:
    CParse(HistoryFileContents* pContents, size_t nLimit, size_t nByteLimit)
        : m_pContents(pContents), m_nLimit(nLimit), m_nByteLimit(nByteLimit), m_nBytes(0), m_bInGap(false)
    {
    }
    // Takes what it can of data (file offset nBase); returns how much it
    // took: a frame that may end beyond the piece waits for the next unless
    // bLast.
    size_t Take(const char* p, size_t nSize, unsigned long long nBase, bool bLast)
    {
        m_crc.Take(p, nSize);
        size_t nPos = 0;
        while (nPos + kFrameSize <= nSize) {
            unsigned frame[3];
            memcpy(frame, p + nPos, sizeof(frame));
            bool bMark = frame[0] == kRecordMark && frame[1] <= kMaxPayload;
            if (bMark && nPos + kFrameSize + frame[1] > nSize && !bLast)
                return nPos;   // the rest comes with the next piece
            ScanRecord record = {};
            if (bMark && nPos + kFrameSize + frame[1] <= nSize && m_crc.Of(nPos + kFrameSize, frame[1]) == frame[2] &&
                DecodePayload(p + nPos + kFrameSize, frame[1], &record)) {
                record.nStored = (unsigned)(kFrameSize + frame[1]);
                record.nTag = nBase + nPos;
                Keep(std::move(record));
                nPos += kFrameSize + frame[1];
                m_bInGap = false;
                continue;
            }
            if (!m_bInGap)
                ++m_pContents->nSkipped;
            m_bInGap = true;
            // The next mark: a record written after the damage.
            size_t nNext = nPos + 1;
            while (nNext + 4 <= nSize && memcmp(p + nNext, &kRecordMark, 4) != 0) {
                const void* pN = memchr(p + nNext + 1, 'N', nSize - nNext - 1);
                nNext = pN ? static_cast<const char*>(pN) - p : nSize;
            }
            if (nNext + 4 > nSize)
                return bLast ? nSize : std::min(nNext, nSize - 3);
            nPos = nNext;
        }
        if (bLast && nPos < nSize && !m_bInGap)
            ++m_pContents->nSkipped;   // a torn last frame
        return bLast ? nSize : nPos;
    }

private:
    void Keep(ScanRecord&& record)
    {
        std::deque<ScanRecord>& records = m_records;
        m_nBytes += RecordMemory(record);
        records.push_back(std::move(record));
        while (records.size() > m_nLimit || (m_nBytes > m_nByteLimit && records.size() > 1)) {
            m_nBytes -= RecordMemory(records.front());
            records.pop_front();
            ++m_pContents->nBeyond;
        }
    }

public:
    std::deque<ScanRecord> m_records;

private:
    HistoryFileContents* m_pContents;
    size_t m_nLimit, m_nByteLimit, m_nBytes;
    bool m_bInGap;   // between a damaged record and the next mark
    CPrefixCrc m_crc;
};

bool CheckHeader(const char* p, size_t n)
{
    unsigned nVersion = 0;
    if (n < kHistoryHeaderSize || memcmp(p, kMagic, sizeof(kMagic)) != 0)
        return false;
    memcpy(&nVersion, p + sizeof(kMagic), 4);
    return nVersion == kVersion;
}

void TakeRecords(CParse& parse, HistoryFileContents* pContents)
{
    pContents->records.reserve(pContents->records.size() + parse.m_records.size());
    for (ScanRecord& record : parse.m_records)
        pContents->records.push_back(std::move(record));
    parse.m_records.clear();
}

}  // namespace

size_t RecordMemory(const ScanRecord& record)
{
    return sizeof(ScanRecord) + record.strBytes.capacity() +
           (record.strCode.capacity() + record.strProgram.capacity()) * sizeof(wchar_t);
}

bool ParseHistory(const std::string& data, HistoryFileContents* pContents, size_t nLimit, size_t nByteLimit)
{
    if (!CheckHeader(data.data(), data.size()))
        return false;
    CParse parse(pContents, nLimit, nByteLimit);
    parse.Take(data.data() + kHistoryHeaderSize, data.size() - kHistoryHeaderSize, kHistoryHeaderSize, true);
    TakeRecords(parse, pContents);
    return true;
}

bool ReadHistory(HANDLE hFile, unsigned long long nSize, HistoryFileContents* pContents, size_t nLimit,
                 size_t nByteLimit)
{
    try {
        const size_t kPiece = 1 << 20;
        std::vector<char> buffer(kPiece + kFrameSize + kMaxPayload);
        LARGE_INTEGER start = {};
        DWORD nGot = 0;
        if (!SetFilePointerEx(hFile, start, NULL, FILE_BEGIN) || nSize < kHistoryHeaderSize ||
            !g_historyFileCalls.pRead(hFile, &buffer[0], (DWORD)kHistoryHeaderSize, &nGot, NULL) ||
            nGot != kHistoryHeaderSize || !CheckHeader(&buffer[0], nGot))
            return false;
        CParse parse(pContents, nLimit, nByteLimit);
        unsigned long long nRead = kHistoryHeaderSize, nBase = kHistoryHeaderSize;
        size_t nHeld = 0;
        while (nRead < nSize || nHeld) {
            size_t nWant = (size_t)std::min<unsigned long long>(buffer.size() - nHeld, nSize - nRead);
            nGot = 0;
            if (nWant && (!g_historyFileCalls.pRead(hFile, &buffer[nHeld], (DWORD)nWant, &nGot, NULL) || nGot != nWant))
                return false;
            nRead += nGot;
            nHeld += nGot;
            bool bLast = nRead >= nSize;
            size_t nTaken = parse.Take(&buffer[0], nHeld, nBase, bLast);
            if (bLast)
                break;
            memmove(&buffer[0], &buffer[nTaken], nHeld - nTaken);
            nHeld -= nTaken;
            nBase += nTaken;
        }
        TakeRecords(parse, pContents);
        pContents->nRead = nSize;
        return true;
    } catch (const std::bad_alloc&) {
        pContents->records.clear();
        pContents->bOutOfMemory = true;
        return false;
    }
}

bool ReadHistoryFile(const std::wstring& strPath, unsigned long long nSize, HistoryFileContents* pContents)
{
    HANDLE hFile = g_historyFileCalls.pOpen(strPath.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    bool bRead = ReadHistory(hFile, nSize, pContents);
    CloseHandle(hFile);
    return bRead;
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
