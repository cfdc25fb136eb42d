#include "AliasEditor.h"

#include <algorithm>
#include <cctype>

void TOrvAliasEditor::Sort(std::vector<std::string>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    });
}

void TOrvAliasEditor::click(const std::vector<std::string>& items, int row, int& selected, std::string& edit,
                            size_t at, size_t most)
{
    if (row < 0 || row >= int(items.size()))
        return;
    selected = row;
    edit = from(items[size_t(row)], at, most);
}

void TOrvAliasEditor::update(std::vector<std::string>& items, int& selected, std::string& edit, size_t at,
                             size_t most)
{
    if (selected < 0 || selected >= int(items.size()))
        return;
    std::string& item = items[size_t(selected)];
    item = item.substr(0, at) + edit.substr(0, most);
    edit.clear();
    click(items, selected + 1 < int(items.size()) ? selected + 1 : 0, selected, edit, at, most);
}
