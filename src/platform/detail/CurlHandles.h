#pragma once

// Private to src/platform: owning handles for libcurl.

#include <curl/curl.h>

#include <memory>

namespace detail {

struct CurlEasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlSlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiCleanup>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistFree>;

// Initialises libcurl once per process; safe to call from any thread.
// False when libcurl could not initialise (logged once).
[[nodiscard]] bool EnsureCurlGlobalInit();

}  // namespace detail
