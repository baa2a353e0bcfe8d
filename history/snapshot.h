// Records copied for another thread as one block of fields and one of
// text: a few allocations whatever the count, so the tray thread takes a
// snapshot of 100,000 records in milliseconds.
#pragma once

#include <string>
#include <vector>

#include "record.h"

class CRecordSnapshot {
public:
    // How many will come, and their texts' length (Chars): one allocation.
    void Reserve(size_t nRecords, size_t nChars);
    static size_t Chars(const ScanRecord& record) { return record.strCode.size() + record.strProgram.size(); }
    void Add(const ScanRecord& record);
    size_t Count() const { return m_items.size(); }
    // The record as it was, without its bytes as decoded.
    ScanRecord At(size_t i) const;

private:
    struct CItem {
        unsigned long long nTime;
        size_t nText, nCode, nProgram;   // where its texts start in m_text, their lengths
        ScanOutcome outcome;
        HistoryCause cause;
        int nRule;
        size_t nTyped, nTotal;
        ScanSymbology symbology;
        bool bCut, bNotKept;
    };
    std::vector<CItem> m_items;
    std::wstring m_text;
};
