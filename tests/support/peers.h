// What only tests arrange or read in the consumer's records, since no operation of the module
// does or shows it: column descriptions given before the binding pass (as a caller that
// describes the columns does), values written into the row buffer, slots other than the pass's
// one, the per-column flag bytes, a slot array freed while its count stays, the guards of the
// binding pass's steps, an accessor of a rowset's own, and a parameter accessor on a command.
// The records name these peers as friends; the peers exist only in test builds.
#pragma once

#include <memory>
#include <utility>

#include "command.h"
#include "dynamic_accessor.h"
#include "rowset.h"

namespace tarvel::testing {

class DynamicAccessorPeer {
public:
    static void setColumnInfo(DynamicAccessor& accessor, ColumnInfo* info, DBORDINAL count) {
        *accessor.columnInfo.put() = info;
        accessor.columnCount = count;
    }
    static BYTE* rowBuffer(const DynamicAccessor& accessor) { return accessor.rowBuffer.get(); }
    static AccessorSlot* accessorSlots(const DynamicAccessor& accessor) {
        return accessor.accessorSlots.get();
    }
    static ULONG accessorSlotCount(const DynamicAccessor& accessor) {
        return accessor.accessorSlotCount;
    }
    static const BYTE* columnFlags(const DynamicAccessor& accessor) {
        return accessor.columnFlags.get();
    }
    static void forgetAccessorSlots(DynamicAccessor& accessor) { accessor.accessorSlots.reset(); }
    static HRESULT allocateAccessorSlots(DynamicAccessor& accessor, ULONG count) {
        return accessor.allocateAccessorSlots(count);
    }
    // The binding pass's steps, for the guards and answers the pass itself never meets: a
    // missing record, a parameter binding, property ids in another order.
    template <class... Args>
    static void fillBinding(Args... args) {
        DynamicAccessor::fillBinding(args...);
    }
    template <class... Args>
    static HRESULT createRowAccessor(Args... args) {
        return DynamicAccessor::createRowAccessor(args...);
    }
    template <class... Args>
    static HRESULT getRowsetProperties(Args... args) {
        return DynamicAccessor::getRowsetProperties(args...);
    }
};

class RowsetPeer {
public:
    // An accessor of the rowset's own, which its close frees; with useForMoves the moves use it.
    static void ownAccessor(Rowset& rowset, std::unique_ptr<DynamicAccessor> owned,
                            bool useForMoves) {
        rowset.ownedAccessor = std::move(owned);
        if (useForMoves) {
            rowset.accessor = rowset.ownedAccessor.get();
        }
    }
};

class CommandPeer {
public:
    static void setParameterAccessor(Command& command, HACCESSOR handle) {
        command.parameterAccessor = handle;
    }
    static HACCESSOR parameterAccessor(const Command& command) { return command.parameterAccessor; }
};

}  // namespace tarvel::testing
