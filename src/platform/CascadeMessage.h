#pragma once

#include <cstdint>
#include <vector>

// A message delivered through a wormhole: an id and a private copy of the data.
class CascadeMessage {
public:
    CascadeMessage(uint32_t id, const void* data, std::size_t length)
        : m_id(id), m_data(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + (data ? length : 0)) {
        m_data.push_back(0);  // text data always reads as a terminated string
    }
    uint32_t GetMessageID() const { return m_id; }
    // The data, followed by one extra zero byte; null when there was none.
    const void* GetData() const { return m_data.size() > 1 ? m_data.data() : nullptr; }
    std::size_t GetDataLength() const { return m_data.size() - 1; }

private:
    uint32_t m_id;
    std::vector<uint8_t> m_data;
};
