#pragma once
// The system editor's lists as plain state: the description, the group aliases and the station
// aliases, each list item a fixed head (the group's or station's number) followed by its alias,
// with the edit fields the editor window shows under the lists. A plug-in fills the lists from its
// record and writes them back on OK.
#include <cstddef>
#include <string>
#include <vector>

class TOrvAliasEditor {
public:
    // Where the alias starts in a group and in a station item, and how long each may be.
    TOrvAliasEditor(size_t groupAliasAt, size_t groupAliasMax, size_t radioAliasAt, size_t radioAliasMax)
        : groupAt_(groupAliasAt), groupMax_(groupAliasMax), radioAt_(radioAliasAt), radioMax_(radioAliasMax)
    {
    }
    virtual ~TOrvAliasEditor() = default;

    std::string Description;
    std::vector<std::string> GroupItems, RadioItems;
    std::string GroupEdit, RadioEdit;
    int GroupSelected = -1, RadioSelected = -1;

    void GroupListClick(int row) { click(GroupItems, row, GroupSelected, GroupEdit, groupAt_, groupMax_); }
    // The edit becomes the selected row's alias; the next row is selected (the first after the last).
    void GroupUpdate() { update(GroupItems, GroupSelected, GroupEdit, groupAt_, groupMax_); }
    void GroupClear() { GroupEdit.clear(); }
    void RadioListClick(int row) { click(RadioItems, row, RadioSelected, RadioEdit, radioAt_, radioMax_); }
    void RadioUpdate() { update(RadioItems, RadioSelected, RadioEdit, radioAt_, radioMax_); }
    void RadioClear() { RadioEdit.clear(); }

    std::string GroupAlias(size_t row) const { return from(GroupItems.at(row), groupAt_, groupMax_); }
    std::string RadioAlias(size_t row) const { return from(RadioItems.at(row), radioAt_, radioMax_); }

    // Sorted as the list boxes sort them: without regard to case.
    static void Sort(std::vector<std::string>& items);

private:
    static std::string from(const std::string& item, size_t at, size_t most)
    {
        return item.size() > at ? item.substr(at, most) : std::string();
    }
    static void click(const std::vector<std::string>& items, int row, int& selected, std::string& edit, size_t at,
                      size_t most);
    static void update(std::vector<std::string>& items, int& selected, std::string& edit, size_t at, size_t most);

    size_t groupAt_, groupMax_, radioAt_, radioMax_;
};
