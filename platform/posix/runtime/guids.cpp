// The platform's interface and class identifiers, with their published values.
#include "../msdasc.h"
#include "runtime_state.h"

#define TARVEL_OLEDB_GUID(name, d1)                   \
    extern "C" TARVEL_RUNTIME_API const GUID name = { \
        d1, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}}
#define TARVEL_OLE_GUID(name, d1)                     \
    extern "C" TARVEL_RUNTIME_API const GUID name = { \
        d1, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}

TARVEL_OLE_GUID(IID_IUnknown, 0x00000000);
TARVEL_OLE_GUID(IID_IClassFactory, 0x00000001);
TARVEL_OLE_GUID(IID_IMallocSpy, 0x0000001d);
TARVEL_OLE_GUID(IID_IStream, 0x0000000c);
TARVEL_OLE_GUID(IID_IDispatch, 0x00020400);

TARVEL_OLEDB_GUID(IID_ISequentialStream, 0x0c733a30);
TARVEL_OLEDB_GUID(IID_IAccessor, 0x0c733a8c);
TARVEL_OLEDB_GUID(IID_IRowset, 0x0c733a7c);
TARVEL_OLEDB_GUID(IID_IRowsetInfo, 0x0c733a55);
TARVEL_OLEDB_GUID(IID_IChapteredRowset, 0x0c733a93);
TARVEL_OLEDB_GUID(IID_IColumnsInfo, 0x0c733a11);
TARVEL_OLEDB_GUID(IID_IRowsetChange, 0x0c733a05);
TARVEL_OLEDB_GUID(IID_ICommand, 0x0c733a63);
TARVEL_OLEDB_GUID(IID_ICommandText, 0x0c733a27);
TARVEL_OLEDB_GUID(IID_IDBCreateCommand, 0x0c733a1d);
TARVEL_OLEDB_GUID(IID_IDBCreateSession, 0x0c733a5d);
TARVEL_OLEDB_GUID(IID_IOpenRowset, 0x0c733a69);
TARVEL_OLEDB_GUID(IID_IDBInitialize, 0x0c733a8b);
TARVEL_OLEDB_GUID(IID_IDBProperties, 0x0c733a8a);

extern "C" TARVEL_RUNTIME_API const GUID DBGUID_DEFAULT = {
    0xc8b521fb, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
extern "C" TARVEL_RUNTIME_API const GUID DBPROPSET_ROWSET = {
    0xc8b522be, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
extern "C" TARVEL_RUNTIME_API const GUID DBPROPSET_DBINIT = {
    0xc8b522bc, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
extern "C" TARVEL_RUNTIME_API const CLSID CLSID_MSDAINITIALIZE = {
    0x2206cdb0, 0x19c1, 0x11d1, {0x89, 0xe0, 0x00, 0xc0, 0x4f, 0xd7, 0xa8, 0x29}};
extern "C" TARVEL_RUNTIME_API const IID IID_IDataInitialize = {
    0x2206ccb1, 0x19c1, 0x11d1, {0x89, 0xe0, 0x00, 0xc0, 0x4f, 0xd7, 0xa8, 0x29}};
