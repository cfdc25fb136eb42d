#pragma once
// The notices a system database gives the user, recorded in place of the window's boxes.
#include <vector>

#include "DatabaseReport.h"

class RecordedNotices : public TDatabaseReport {
public:
    void Notify(const TDatabaseNotice& notice) override { notices_.push_back(notice); }
    const std::vector<TDatabaseNotice>& all() const { return notices_; }

private:
    std::vector<TDatabaseNotice> notices_;
};
