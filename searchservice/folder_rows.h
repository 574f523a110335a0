// The rows of a query over a folder, found as the walk goes: the folder itself and every file
// and folder below it whose name meets the query's conditions, at most the query's TOP of them, in
// the order the walk meets them, until the service stops its walks.
#pragma once

#include <atomic>
#include <functional>

#include "host_platform.h"
#include "sql_query.h"
#include "table.h"

namespace tarvel::service {

class FolderRows final : public RowSource {
public:
    // The row of an item whose name matches, from its path.
    using MakeRow = std::function<void(WString path, Row& row)>;

    FolderRows(const WString& root, SqlQuery query, platform::FolderWalk::Unreadable unreadable,
               MakeRow makeRow, const std::atomic<bool>& stopped);

    bool next(Row& row) override;

private:
    WString root_;
    platform::FolderWalk walk_;
    SqlQuery query_;
    MakeRow makeRow_;
    const std::atomic<bool>& stopped_;
    long found_ = 0;
    bool rootSeen_ = false;
};

// Whether an item of the name meets every condition of the query.
bool nameMatches(const SqlQuery& query, const WString& name);

}  // namespace tarvel::service
