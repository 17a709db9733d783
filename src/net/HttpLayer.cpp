#include "net/HttpLayer.h"

#include "platform/TextCodec.h"

#include <curl/curl.h>

#include <mutex>

bool InitHttpLayer()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

std::string BuildServerUrl(const std::u16string& host, uint16_t port)
{
    std::string name = ToUtf8(host);
    // A literal IPv6 address needs its brackets in a URL.
    if (name.find(':') != std::string::npos && name.front() != '[')
    {
        name = "[" + name + "]";
    }
    return "http://" + name + ":" + std::to_string(port) + "/";
}
