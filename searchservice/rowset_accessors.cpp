// The accessors of a TableRowset: the bindings a consumer creates, checked as a provider checks
// them, and counted references to them.
#include "table_rowset.h"

namespace tarvel::service {

// ---- IAccessor

HRESULT TableRowset::AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        return DB_E_BADACCESSORHANDLE;
    }
    ++it->second.references;
    if (pcRefCount != nullptr) {
        *pcRefCount = it->second.references;
    }
    return S_OK;
}

HRESULT TableRowset::CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                    const DBBINDING rgBindings[], DBLENGTH, HACCESSOR* phAccessor,
                                    DBBINDSTATUS rgStatus[]) {
    if (phAccessor == nullptr || (cBindings != 0 && rgBindings == nullptr)) {
        return E_INVALIDARG;
    }
    *phAccessor = 0;
    if ((dwAccessorFlags & DBACCESSOR_ROWDATA) == 0 ||
        (dwAccessorFlags & DBACCESSOR_PARAMETERDATA) != 0) {
        return DB_E_BADACCESSORFLAGS;
    }
    Accessor accessor;
    accessor.bindings.assign(rgBindings, rgBindings + cBindings);
    accessor.objects.resize(cBindings);
    bool valid = true;
    for (DBCOUNTITEM k = 0; k < cBindings; ++k) {
        DBBINDING& binding = accessor.bindings[k];
        DBBINDSTATUS status = DBBINDSTATUS_OK;
        size_t column = 0;
        if (columnOf(binding.iOrdinal, &column) == nullptr) {
            status = DBBINDSTATUS_BADORDINAL;
        } else if ((binding.dwPart & ~DWORD(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS)) != 0 ||
                   binding.dwPart == 0 || binding.eParamIO != DBPARAMIO_NOTPARAM) {
            status = DBBINDSTATUS_BADBINDINFO;
        }
        if (binding.pObject != nullptr) {
            accessor.objects[k] = *binding.pObject;
            if (status == DBBINDSTATUS_OK && !grantsObject(binding.pObject->iid)) {
                status = DBBINDSTATUS_NOINTERFACE;
            }
        }
        if (rgStatus != nullptr) {
            rgStatus[k] = status;
        }
        valid = valid && status == DBBINDSTATUS_OK;
    }
    if (!valid) {
        return DB_E_ERRORSOCCURRED;
    }
    const HACCESSOR handle = nextAccessor_++;
    accessors_.emplace(handle, std::move(accessor));
    *phAccessor = handle;
    return S_OK;
}

HRESULT TableRowset::ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        return DB_E_BADACCESSORHANDLE;
    }
    const DBREFCOUNT left = --it->second.references;
    if (left == 0) {
        accessors_.erase(it);
    }
    if (pcRefCount != nullptr) {
        *pcRefCount = left;
    }
    return S_OK;
}

}  // namespace tarvel::service
