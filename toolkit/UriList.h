// Reading a text/uri-list as file managers hand it over in a drag and drop.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toolkit
{

struct DropItems
{
    std::vector<std::string> items;
    int kind = 0; // kDropFiles when every item is a local file path, else kDropText with the lines as given
};

// Splits the list into lines, skips comments, and turns file:// addresses into decoded paths.
DropItems parseUriList(std::string_view text);

} // namespace toolkit
