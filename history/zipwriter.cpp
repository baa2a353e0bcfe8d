#include "zipwriter.h"

#include <zlib.h>

namespace {

void Put16(std::string& out, unsigned n)
{
    out += (char)(n & 0xFF);
    out += (char)((n >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned n)
{
    Put16(out, n & 0xFFFF);
    Put16(out, n >> 16);
}

// Deflated raw, as zip's method 8 wants it: no zlib header or trailer. The
// fastest level: a sheet's markup repeats itself, and packs well at any.
bool Deflate(const std::string& data, std::string* pOut)
{
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    pOut->resize(deflateBound(&stream, (uLong)data.size()));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = (uInt)data.size();
    stream.next_out = reinterpret_cast<Bytef*>(&(*pOut)[0]);
    stream.avail_out = (uInt)pOut->size();
    int nResult = deflate(&stream, Z_FINISH);
    pOut->resize(stream.total_out);
    deflateEnd(&stream);
    return nResult == Z_STREAM_END;
}

// 1980-01-01 00:00, the earliest time zip has: the parts carry no time of
// their own.
const unsigned kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;

}  // namespace

bool CZipWriter::Add(const std::string& strName, const std::string& data)
{
    std::string packed;
    if (!Deflate(data, &packed))
        return false;
    CEntry entry = { strName, (unsigned)crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                                               (uInt)data.size()),
                     (unsigned)data.size(), (unsigned)packed.size(), (unsigned)m_data.size() };
    Put32(m_data, 0x04034B50);
    Put16(m_data, 20);          // version needed: deflate
    Put16(m_data, 0x0800);      // names in UTF-8
    Put16(m_data, 8);           // deflated
    Put16(m_data, kDosTime);
    Put16(m_data, kDosDate);
    Put32(m_data, entry.nCrc);
    Put32(m_data, entry.nPacked);
    Put32(m_data, entry.nSize);
    Put16(m_data, (unsigned)strName.size());
    Put16(m_data, 0);
    m_data += strName;
    m_data += packed;
    m_entries.push_back(entry);
    return true;
}

std::string CZipWriter::Finish() const
{
    std::string out = m_data, directory;
    for (const CEntry& entry : m_entries) {
        Put32(directory, 0x02014B50);
        Put16(directory, 20);       // made by: MS-DOS, 2.0
        Put16(directory, 20);
        Put16(directory, 0x0800);
        Put16(directory, 8);
        Put16(directory, kDosTime);
        Put16(directory, kDosDate);
        Put32(directory, entry.nCrc);
        Put32(directory, entry.nPacked);
        Put32(directory, entry.nSize);
        Put16(directory, (unsigned)entry.strName.size());
        Put16(directory, 0);        // extra
        Put16(directory, 0);        // comment
        Put16(directory, 0);        // disk
        Put16(directory, 0);        // internal attributes
        Put32(directory, 0);        // external attributes
        Put32(directory, entry.nOffset);
        directory += entry.strName;
    }
    unsigned nDirectory = (unsigned)directory.size();
    Put32(directory, 0x06054B50);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, (unsigned)m_entries.size());
    Put16(directory, (unsigned)m_entries.size());
    Put32(directory, nDirectory);
    Put32(directory, (unsigned)out.size());
    Put16(directory, 0);
    out += directory;
    return out;
}
