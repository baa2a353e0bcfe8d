#include "history.h"

void CScanHistory::Add(const ScanRecord& record)
{
    m_records.push_front(record);
    if (m_records.size() > m_nLimit)
        m_records.pop_back();
    ++m_nAdded;
}
