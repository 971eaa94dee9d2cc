#include "server/CliLineBuffer.h"

#include "app/base/AppLog.h"

void CliLineBuffer::Append(const char* bytes, std::size_t length) {
    if (m_consumed > 0) {
        m_pending.erase(0, m_consumed);
        m_consumed = 0;
    }
    m_pending.append(bytes, length);
    if (m_skipping) {
        const std::size_t end = m_pending.find('\n');
        if (end == std::string::npos) {
            m_pending.clear();
            return;
        }
        m_pending.erase(0, end + 1);
        m_skipping = false;
    }
    if (m_pending.size() > kMaxLine && m_pending.find('\n') == std::string::npos) {
        AppLog::WriteToLog("cli: notification longer than %zu bytes dropped\n", true, kMaxLine);
        m_pending.clear();
        m_skipping = true;
    }
}

bool CliLineBuffer::NextLine(std::string& line) {
    while (true) {
        const std::size_t end = m_pending.find('\n', m_consumed);
        if (end == std::string::npos) return false;
        std::size_t stop = end;
        if (stop > m_consumed && m_pending[stop - 1] == '\r') --stop;
        line.assign(m_pending, m_consumed, stop - m_consumed);
        m_consumed = end + 1;
        if (!line.empty()) return true;
    }
}

void CliLineBuffer::Reset() {
    m_pending.clear();
    m_consumed = 0;
    m_skipping = false;
}
