// The provider's data source, opened from an OLE DB initialization string through the
// platform's data-initialization service.
#pragma once

#include "common/com_ptr.h"

namespace tarvel {

class DataSource {
public:
    HRESULT open(LPCOLESTR initString);

    ComPtr<IDBInitialize> initializer;
};

}  // namespace tarvel
