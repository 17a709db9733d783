// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// "KEY=value&KEY=value" as a login query or a command body carries it, decoded
// as the DVR's CGI decodes it: split at "&" and "=" first, then "%XX" and "+".
class FormFields
{
public:
    // Fails on an empty text, a pair without "=", an empty key or a repeated key.
    static std::optional<FormFields> Parse(std::string_view text);

    std::optional<std::string_view> Get(std::string_view key) const;
    // The value as a decimal or hexadecimal number no larger than max; digits only.
    std::optional<uint32_t> GetDecimal(std::string_view key, uint32_t max) const;
    std::optional<uint32_t> GetHex(std::string_view key) const;

private:
    std::vector<std::pair<std::string, std::string>> m_fields;
};

std::optional<uint32_t> ParseDecimal(std::string_view text, uint32_t max);
// Replaces every valid %XX by its byte and "+" by a space; anything else, a lone
// "%" included, stays.
std::string FormDecoded(std::string_view text);
