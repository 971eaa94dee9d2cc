#pragma once

// Private to src/platform: one HTTP GET on a curl multi handle, pulled by its
// reader. The write callback copies body bytes into a bounded buffer and
// pauses the transfer when the buffer is full; Take unpauses it once there is
// room again.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/detail/CurlHandles.h"

namespace detail {

class CurlTransfer {
public:
    static constexpr std::size_t kCapacity = 256 * 1024;
    static constexpr std::size_t kResumeRoom = 64 * 1024;
    static constexpr long kConnectTimeoutMs = 15000;

    // Starts a GET of `url` from byte `rangeStart` (no Range header for 0) on
    // `multi`, which must outlive the transfer. Null with `error` filled when
    // curl refused the set-up.
    static std::unique_ptr<CurlTransfer> Start(CURLM* multi, const std::string& url, uint64_t rangeStart,
                                               std::string& error);
    // Only Start can make the key.
    class Key {
        friend class CurlTransfer;
        Key() = default;
    };
    explicit CurlTransfer(Key) {}
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;
    ~CurlTransfer();

    CURL* Easy() const { return m_easy.get(); }
    // Called by the driver when curl reports the transfer finished.
    void MarkDone(CURLcode result);

    bool HeadersDone() const { return m_headersDone; }
    bool Done() const { return m_done; }
    bool Failed() const { return m_done && m_result != CURLE_OK; }
    int Status() const { return m_status; }
    // The reason of a failed transfer in words.
    std::string FailureText() const;

    // Byte offset of the first body byte, from Content-Range (else 0).
    uint64_t BodyStart() const { return m_rangeFirst; }
    // Size of the whole resource: the Content-Range total, else the body
    // start plus the Content-Length, else 0.
    uint64_t TotalSize() const;
    const std::string& ContentType() const { return m_contentType; }

    std::size_t Buffered() const { return m_data.size() - m_head; }
    // Moves up to `length` buffered bytes into `buffer`; resumes a paused
    // transfer when that made room. Returns the count moved.
    std::size_t Take(void* buffer, std::size_t length);

private:
    [[nodiscard]] bool Configure(const std::string& url, uint64_t rangeStart);
    static std::size_t WriteTrampoline(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t HeaderTrampoline(char* data, std::size_t size, std::size_t count, void* self);
    std::size_t OnWrite(const char* data, std::size_t length);
    void OnHeader(std::string_view line);
    void OnHeaderField(std::string_view name, std::string_view value);
    void OnHeaderBlockEnd();

    CURLM* m_multi = nullptr;  // not owned
    CurlEasy m_easy;
    CurlSlist m_headers;
    bool m_added = false;
    char m_errorText[CURL_ERROR_SIZE] = {};

    std::vector<char> m_data;  // body bytes; the unread ones start at m_head
    std::size_t m_head = 0;
    bool m_paused = false;

    int m_status = 0;
    bool m_headersDone = false;
    bool m_sawLocation = false;
    bool m_haveLength = false;
    uint64_t m_contentLength = 0;
    uint64_t m_rangeFirst = 0;
    uint64_t m_rangeTotal = 0;  // 0 when the server gave none
    std::string m_contentType;

    bool m_done = false;
    CURLcode m_result = CURLE_OK;
};

}  // namespace detail
