// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/HttpLayer.h"

#include "directory/DvrAddress.h"
#include "platform/TextCodec.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

bool InitHttpLayer()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

bool BuildRequestUrl(std::u16string_view address, uint16_t port, const char* path,
                     const char* query, std::string& url)
{
    url.clear();
    if (!IsDvrHostAddress(address))
    {
        return false;
    }
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parts(curl_url(), &curl_url_cleanup);
    if (!parts)
    {
        return false;
    }
    const std::string host = ToUtf8(std::u16string(address));
    const std::string portText = std::to_string(port);
    char* text = nullptr;
    const bool built =
        curl_url_set(parts.get(), CURLUPART_SCHEME, "http", 0) == CURLUE_OK &&
        curl_url_set(parts.get(), CURLUPART_HOST, host.c_str(), 0) == CURLUE_OK &&
        curl_url_set(parts.get(), CURLUPART_PORT, portText.c_str(), 0) == CURLUE_OK &&
        curl_url_set(parts.get(), CURLUPART_PATH, path, 0) == CURLUE_OK &&
        (query == nullptr || curl_url_set(parts.get(), CURLUPART_QUERY, query, 0) == CURLUE_OK) &&
        curl_url_get(parts.get(), CURLUPART_URL, &text, 0) == CURLUE_OK;
    if (built)
    {
        url = text;
    }
    curl_free(text);
    return built;
}
