// The provider's data source, opened from an OLE DB initialization string through the
// platform's data-initialization service.
#pragma once

#include "common/com_ptr.h"

namespace tarvel {

class DataSource {
public:
    HRESULT open(LPCOLESTR initString);

    // What tests look at; not for the product's use.
    IDBInitialize* initializerForTesting() const { return initializer.get(); }

private:
    // A session is opened on the data source.
    friend class Session;

    ComPtr<IDBInitialize> initializer;
};

}  // namespace tarvel
