// A session on an opened data source.
#pragma once

#include "common/com_ptr.h"
#include "data_source.h"

namespace tarvel {

class Session {
public:
    Session() = default;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session() { close(); }

    HRESULT open(DataSource& dataSource);
    void close() { session.reset(); }
    // A new command on the open session, for the interface command asks for.
    HRESULT createCommand(ComPtr<ICommand>& command) const;

private:
    ComPtr<IOpenRowset> session;
};

}  // namespace tarvel
