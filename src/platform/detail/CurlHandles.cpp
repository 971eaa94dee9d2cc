#include "platform/detail/CurlHandles.h"

#include <cstdio>
#include <mutex>

namespace detail {

bool EnsureCurlGlobalInit() {
    // libcurl wants one global initialisation before any thread uses it; the
    // flag lives here because that requirement is process-wide by nature.
    static std::once_flag s_once;
    static CURLcode s_result = CURLE_OK;
    std::call_once(s_once, [] {
        s_result = curl_global_init(CURL_GLOBAL_DEFAULT);
        if (s_result != CURLE_OK)
            std::fprintf(stderr, "http: libcurl failed to initialise: %s\n", curl_easy_strerror(s_result));
    });
    return s_result == CURLE_OK;
}

}  // namespace detail
