// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormFields.h"

#include <utility>

namespace
{
std::optional<uint32_t> ParseDigits(std::string_view text, unsigned base, uint32_t max)
{
    if (text.empty() || text.size() > 8)
    {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : text)
    {
        unsigned digit;
        if (c >= '0' && c <= '9')
        {
            digit = static_cast<unsigned>(c - '0');
        }
        else if (base == 16 && c >= 'a' && c <= 'f')
        {
            digit = static_cast<unsigned>(c - 'a' + 10);
        }
        else if (base == 16 && c >= 'A' && c <= 'F')
        {
            digit = static_cast<unsigned>(c - 'A' + 10);
        }
        else
        {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (value > max)
    {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}
} // namespace

std::optional<uint32_t> ParseDecimal(std::string_view text, uint32_t max)
{
    return ParseDigits(text, 10, max);
}

std::string FormDecoded(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '+')
        {
            out += ' ';
            continue;
        }
        const bool escape = text[i] == '%' && i + 2 < text.size();
        const auto byte = escape ? ParseDigits(text.substr(i + 1, 2), 16, 255) : std::nullopt;
        if (byte)
        {
            out += static_cast<char>(*byte);
            i += 2;
        }
        else
        {
            out += text[i];
        }
    }
    return out;
}

std::optional<FormFields> FormFields::Parse(std::string_view text)
{
    if (text.empty())
    {
        return std::nullopt;
    }
    FormFields form;
    size_t at = 0;
    while (at <= text.size())
    {
        const size_t end = std::min(text.find('&', at), text.size());
        const std::string_view pair = text.substr(at, end - at);
        const size_t equals = pair.find('=');
        if (equals == std::string_view::npos || equals == 0)
        {
            return std::nullopt;
        }
        std::string key = FormDecoded(pair.substr(0, equals));
        if (form.Get(key))
        {
            return std::nullopt;
        }
        form.m_fields.emplace_back(std::move(key), FormDecoded(pair.substr(equals + 1)));
        at = end + 1;
    }
    return form;
}

std::optional<std::string_view> FormFields::Get(std::string_view key) const
{
    for (const auto& [name, value] : m_fields)
    {
        if (name == key)
        {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> FormFields::GetDecimal(std::string_view key, uint32_t max) const
{
    const auto value = Get(key);
    return value ? ParseDigits(*value, 10, max) : std::nullopt;
}

std::optional<uint32_t> FormFields::GetHex(std::string_view key) const
{
    const auto value = Get(key);
    return value ? ParseDigits(*value, 16, UINT32_MAX) : std::nullopt;
}
