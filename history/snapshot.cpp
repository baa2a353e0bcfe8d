#include "snapshot.h"

void CRecordSnapshot::Reserve(size_t nRecords, size_t nChars)
{
    m_items.reserve(nRecords);
    m_text.reserve(nChars);
}

void CRecordSnapshot::Add(const ScanRecord& record)
{
    m_items.push_back({ record.nTime, m_text.size(), record.strCode.size(), record.strProgram.size(), record.outcome,
                        record.cause, record.nRule, record.nTyped, record.nTotal, record.symbology, record.bCut,
                        record.bNotKept });
    m_text += record.strCode;
    m_text += record.strProgram;
}

ScanRecord CRecordSnapshot::At(size_t i) const
{
    const CItem& item = m_items[i];
    ScanRecord record = {};
    record.nTime = item.nTime;
    record.strCode.assign(m_text, item.nText, item.nCode);
    record.strProgram.assign(m_text, item.nText + item.nCode, item.nProgram);
    record.outcome = item.outcome;
    record.cause = item.cause;
    record.nRule = item.nRule;
    record.nTyped = item.nTyped;
    record.nTotal = item.nTotal;
    record.symbology = item.symbology;
    record.bCut = item.bCut;
    record.bNotKept = item.bNotKept;
    return record;
}
