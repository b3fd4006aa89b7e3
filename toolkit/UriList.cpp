// text/uri-list: one address per line, '#' lines are comments, file addresses carry %-escaped paths.
#include "UriList.h"

#include "View.h"

#include <cctype>

namespace toolkit
{

namespace
{

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size())
        {
            int high = hexDigit(text[i + 1]);
            int low = hexDigit(text[i + 2]);
            if (high >= 0 && low >= 0)
            {
                char decoded = static_cast<char>(high * 16 + low);
                if (decoded != '\0') // a path never holds a zero byte
                {
                    out.push_back(decoded);
                    i += 2;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// The path of a file address ("file:///p", "file://host/p", "file:/p"), or empty for anything else.
std::string filePath(std::string_view line)
{
    constexpr std::string_view kScheme = "file:";
    if (line.size() < kScheme.size())
        return {};
    for (size_t i = 0; i < kScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != kScheme[i])
            return {};
    std::string_view rest = line.substr(kScheme.size());
    if (rest.starts_with("//"))
    {
        rest.remove_prefix(2);
        size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return {};
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with("/"))
        return {};
    return percentDecode(rest);
}

} // namespace

DropItems parseUriList(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '#')
            lines.emplace_back(line);
        start = end + 1;
    }

    DropItems result;
    result.kind = kDropFiles;
    for (const auto& line : lines)
    {
        std::string path = filePath(line);
        if (path.empty())
        {
            result.kind = kDropText;
            break;
        }
        result.items.push_back(std::move(path));
    }
    if (result.kind == kDropText)
        result.items = lines;
    return result;
}

} // namespace toolkit
