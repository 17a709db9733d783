// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrDirectory.h"

#include "directory/DvrConnectInfo.h"
#include "platform/TextCodec.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <system_error>
#include <vector>

namespace
{
constexpr char16_t kLineEnd = u'\n';
constexpr const char* kFileName = "IPList.db";

std::u16string DecodeUtf16Le(const std::string& bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return text;
}

void AppendUtf16Le(std::string& bytes, std::u16string_view text)
{
    for (const char16_t c : text)
    {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
}

std::vector<std::u16string> SplitLines(const std::u16string& text)
{
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        const size_t end = std::min(text.find(kLineEnd, start), text.size());
        lines.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return lines;
}

std::filesystem::path ExecutableFolder()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

bool IsTheUsersAlone(const std::filesystem::path& folder, uid_t user)
{
    struct stat info
    {
    };
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user &&
           (info.st_mode & S_IWUSR) != 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           ::access(folder.c_str(), W_OK) == 0;
}
} // namespace

std::filesystem::path GetDirectoryFilePath(const std::filesystem::path& fallbackFolder,
                                           const std::filesystem::path& programFolder, uid_t user)
{
    const auto folder = programFolder.empty() ? ExecutableFolder() : programFolder;
    if (!folder.empty() && IsTheUsersAlone(folder, user))
    {
        return folder / kFileName;
    }
    std::error_code error;
    std::filesystem::create_directories(fallbackFolder, error);
    return fallbackFolder / kFileName;
}

std::optional<DvrEntry> ParseEntryLine(std::u16string_view line)
{
    std::vector<std::u16string_view> tokens;
    size_t start = 0;
    while (start <= line.size())
    {
        const size_t end = std::min(line.find(u',', start), line.size());
        if (end > start)
        {
            tokens.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    if (tokens.size() != 4 && tokens.size() != 6)
    {
        return std::nullopt;
    }
    DvrEntry entry;
    entry.Name = tokens[0];
    entry.Address = tokens[1];
    entry.Port = tokens[2];
    entry.Channel = ParseDecimal(tokens[3]);
    if (tokens.size() == 6)
    {
        entry.User = tokens[4];
        entry.Password = tokens[5];
    }
    return entry;
}

int RowChannel(const DvrRow& row)
{
    // The column holds Channel + 1, which for the largest channel is one past
    // what an int holds; read it wide so the row saves back unchanged.
    const std::u16string& text = row.Columns[kColumnChannel];
    const std::string digits(text.begin(), text.end());
    int64_t shown = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), shown);
    if (error != std::errc() || end != digits.data() + digits.size() ||
        shown > int64_t{INT_MAX} + 1)
    {
        shown = ParseDecimal(text);
    }
    return static_cast<int>(std::max<int64_t>(shown - 1, INT_MIN));
}

bool AddEntry(DvrRowList& rows, const DvrEntry& entry, IMessageBox& messages)
{
    for (const DvrRow& row : rows.Rows)
    {
        if (row.Columns[kColumnAddress] == entry.Address &&
            row.Columns[kColumnPort] == entry.Port && RowChannel(row) == entry.Channel)
        {
            messages.Show(LoadString(IDS_SAME_DVR_CONNECTION), u"", MessageBoxIcon::Exclamation,
                          MessageBoxButtons::Ok);
            return false;
        }
    }
    DvrRow row;
    row.Columns[kColumnName] = entry.Name;
    row.Columns[kColumnAddress] = entry.Address;
    row.Columns[kColumnPort] = entry.Port;
    row.Columns[kColumnChannel] = FromAscii(std::to_string(int64_t{entry.Channel} + 1));
    if (!entry.Password.empty())
    {
        row.Columns[kColumnUser] = entry.User;
    }
    row.Password = entry.Password;
    rows.Rows.push_back(std::move(row));
    return true;
}

std::u16string FormatEntryLine(const DvrRow& row)
{
    std::u16string line = row.Columns[kColumnName] + u',' + row.Columns[kColumnAddress] + u',' +
                          row.Columns[kColumnPort] + u',' +
                          FromAscii(std::to_string(RowChannel(row)));
    if (!row.Columns[kColumnUser].empty())
    {
        line += u',' + row.Columns[kColumnUser] + u',' + row.Password;
    }
    return line;
}

void LoadDirectory(DvrRowList& rows, const std::filesystem::path& file, IMessageBox& messages,
                   const FileReader& reader)
{
    std::string bytes;
    std::string reason;
    const FileReader::Result read = reader.Read(file, bytes, reason);
    if (read == FileReader::Result::Unreadable)
    {
        rows.ReadFailure = u"The DVR directory " + FromUtf8(file.string()) + u" cannot be read (" +
                           FromUtf8(reason) + u"); nothing will be saved to it.";
        messages.Show(rows.ReadFailure, u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
        return;
    }
    const auto lines = SplitLines(DecodeUtf16Le(bytes));
    for (auto line = lines.begin(); line != lines.end(); ++line)
    {
        const auto entry = line->empty() ? std::nullopt : ParseEntryLine(*line);
        if (!entry)
        {
            rows.UnreadLines.insert(rows.UnreadLines.end(), line, lines.end());
            return;
        }
        if (!AddEntry(rows, *entry, messages))
        {
            rows.UnreadLines.push_back(*line);
        }
    }
}

bool SaveDirectory(DvrRowList& rows, const std::filesystem::path& file,
                   const AtomicFileWriter& writer)
{
    if (!rows.ReadFailure.empty())
    {
        return false;
    }
    std::string bytes;
    for (const DvrRow& row : rows.Rows)
    {
        AppendUtf16Le(bytes, FormatEntryLine(row));
        AppendUtf16Le(bytes, std::u16string_view(&kLineEnd, 1));
    }
    for (const std::u16string& line : rows.UnreadLines)
    {
        AppendUtf16Le(bytes, line);
        AppendUtf16Le(bytes, std::u16string_view(&kLineEnd, 1));
    }
    if (!writer.Replace(file, bytes))
    {
        return false;
    }
    rows.Rows.clear();
    rows.UnreadLines.clear();
    return true;
}
