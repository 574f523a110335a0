// The accessors of a TableRowset: the bindings a consumer creates, checked as a provider checks
// them, and counted references to them.
#include <algorithm>
#include <string>

#include "table_rowset.h"

namespace tarvel::service {

// ---- IAccessor

bool TableRowset::grantsObject(REFIID iid) const {
    // A rowset that reports its stream properties grants exactly the streams it reports true;
    // one that reports none grants both.
    const auto& properties = table_->properties;
    const bool reported =
        properties.count(DBPROP_ISequentialStream) != 0 || properties.count(DBPROP_IStream) != 0;
    DBPROPID property = 0;
    if (IsEqualGUID(iid, IID_ISequentialStream)) {
        property = DBPROP_ISequentialStream;
    } else if (IsEqualGUID(iid, IID_IStream)) {
        property = DBPROP_IStream;
    } else {
        return true;
    }
    auto it = properties.find(property);
    return !reported || (it != properties.end() && it->second);
}

HRESULT TableRowset::AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    if (auto failure =
            enter("IAccessor::AddRefAccessor", [&] { return std::to_string(hAccessor); })) {
        return *failure;
    }
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

bool TableRowset::checkBindingsFit(const std::vector<DBBINDING>& bindings, DBLENGTH rowSize) {
    struct Extent {
        DBLENGTH begin;
        DBLENGTH end;
        size_t binding;
    };
    std::vector<Extent> extents;
    bool fits = true;
    auto add = [&](DBLENGTH begin, DBLENGTH size, size_t k, const char* part) {
        if (begin > rowSize || size > rowSize - begin) {
            fits = false;
            fault("binding " + std::to_string(k) + " puts its " + part + " outside the row of " +
                  std::to_string(rowSize) + " bytes");
            return;
        }
        if (size != 0) {
            extents.push_back(Extent{begin, begin + size, k});
        }
    };
    for (size_t k = 0; k < bindings.size(); ++k) {
        const DBBINDING& binding = bindings[k];
        if ((binding.dwPart & DBPART_VALUE) != 0) {
            add(binding.obValue, valueFieldSize(binding), k, "value");
        }
        if ((binding.dwPart & DBPART_LENGTH) != 0) {
            add(binding.obLength, sizeof(DBLENGTH), k, "length");
        }
        if ((binding.dwPart & DBPART_STATUS) != 0) {
            add(binding.obStatus, sizeof(DBSTATUS), k, "status");
        }
    }
    std::sort(extents.begin(), extents.end(),
              [](const Extent& a, const Extent& b) { return a.begin < b.begin; });
    for (size_t i = 1; i < extents.size(); ++i) {
        if (extents[i].begin < extents[i - 1].end) {
            fits = false;
            fault("bindings " + std::to_string(extents[i - 1].binding) + " and " +
                  std::to_string(extents[i].binding) + " overlap in the row");
        }
    }
    return fits;
}

HRESULT TableRowset::CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                    const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                    HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) {
    if (auto failure = enter("IAccessor::CreateAccessor", [&] {
            return std::to_string(dwAccessorFlags) + "," + std::to_string(cBindings) + "," +
                   std::to_string(cbRowSize);
        })) {
        if (phAccessor != nullptr) {
            *phAccessor = 0;
        }
        return *failure;
    }
    if (phAccessor == nullptr || (cBindings != 0 && rgBindings == nullptr)) {
        return E_INVALIDARG;
    }
    *phAccessor = 0;
    if ((dwAccessorFlags & DBACCESSOR_ROWDATA) == 0 ||
        (dwAccessorFlags & DBACCESSOR_PARAMETERDATA) != 0) {
        return DB_E_BADACCESSORFLAGS;
    }
    if (cBindings == 0 && !table_->nullAccessorSupported) {
        return DB_E_NULLACCESSORNOTSUPPORTED;
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
    checkBindingsFit(accessor.bindings, cbRowSize);
    const HACCESSOR handle = nextAccessor_++;
    accessors_.emplace(handle, std::move(accessor));
    *phAccessor = handle;
    return S_OK;
}

HRESULT TableRowset::ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) {
    const auto failure =
        enter("IAccessor::ReleaseAccessor", [&] { return std::to_string(hAccessor); });
    auto it = accessors_.find(hAccessor);
    if (it == accessors_.end()) {
        if (hAccessor != 0) {
            fault("release of accessor " + std::to_string(hAccessor) + ", which is not held");
        }
        return failure ? *failure : DB_E_BADACCESSORHANDLE;
    }
    const DBREFCOUNT left = --it->second.references;
    if (left == 0) {
        accessors_.erase(it);
    }
    if (pcRefCount != nullptr) {
        *pcRefCount = left;
    }
    return failure ? *failure : S_OK;
}

}  // namespace tarvel::service
