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

    // What tests look at; not for the product's use.
    IOpenRowset* sessionForTesting() const { return session.get(); }

private:
    // A command is created on the session.
    friend class Command;

    ComPtr<IOpenRowset> session;
};

}  // namespace tarvel
