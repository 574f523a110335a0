// The provider's data source, opened from an OLE DB initialization string through the
// platform's data-initialization service.
#pragma once

#include "common/com_ptr.h"

namespace tarvel {

class DataSource {
public:
    HRESULT open(LPCOLESTR initString);
    // A new session on the opened data source, for the interface session asks for.
    HRESULT createSession(ComPtr<IOpenRowset>& session) const;

private:
    ComPtr<IDBInitialize> initializer;
};

}  // namespace tarvel
