// A zip file of a few parts, each deflated, as an .xlsx workbook is made:
// built in memory, written whole.
#pragma once

#include <string>
#include <vector>

class CZipWriter {
public:
    // Adds a part; false when zlib cannot deflate it.
    bool Add(const std::string& strName, const std::string& data);
    // The whole zip: the parts, their directory and its end.
    std::string Finish() const;

private:
    struct CEntry {
        std::string strName;
        unsigned nCrc;
        unsigned nSize;
        unsigned nPacked;
        unsigned nOffset;
    };
    std::vector<CEntry> m_entries;
    std::string m_data;
};
