// A command on a session with SQL as its text; executing it attaches the rowset and binds its
// columns. The command owns the rowset and the accessor it embeds.
#pragma once

#include "common/com_ptr.h"
#include "dynamic_accessor.h"
#include "rowset.h"
#include "session.h"

namespace tarvel {

namespace testing {
class CommandPeer;
}  // namespace testing

class Command {
public:
    Command(BlobHandling blobHandling, DBLENGTH blobThreshold);
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    ~Command();

    HRESULT create(Session& session, LPCWSTR text);
    HRESULT execute();
    void close();
    // The rowset with its accessor: row values, accessor handles, column data, row, rowset.
    void closeResults();

    // What execution yields: the rowset, and the accessor that reads its rows.
    const Rowset& results() const { return rowset; }
    const DynamicAccessor& columns() const { return accessor; }
    // The walk of the rowset, when it is open: one row at a time into the accessor's buffer.
    HRESULT moveToFirstRow() { return rowset.moveToFirstRow(); }
    HRESULT moveToNextRow() { return rowset.moveToNextRow(); }

private:
    // No operation of the module creates a parameter accessor: tests arrange one to see it
    // released, and read the handle a failed release keeps.
    friend class testing::CommandPeer;

    DynamicAccessor accessor;
    Rowset rowset;
    ComPtr<ICommand> command;
    HACCESSOR parameterAccessor = 0;
};

}  // namespace tarvel
