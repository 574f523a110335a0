// The records that cross a boundary between separately built code have the Windows 64-bit
// layout in every build; a mistake in either platform's declarations stops the compile here.
#include <cstddef>

#include "../platform.h"

#define TARVEL_LAYOUT(type, size) static_assert(sizeof(type) == (size), #type " size")
#define TARVEL_FIELD(type, field, offset) \
    static_assert(offsetof(type, field) == (offset), #type "::" #field " offset")

static_assert(sizeof(WCHAR) == 2 && sizeof(LONG) == 4 && sizeof(ULONG) == 4);
static_assert(sizeof(HRESULT) == 4 && sizeof(DBLENGTH) == 8 && sizeof(HROW) == 8);
static_assert(sizeof(HACCESSOR) == 8 && sizeof(HCHAPTER) == 8 && sizeof(DBTYPE) == 2);
static_assert(sizeof(DBSTATUS) == 4 && sizeof(VARIANT_BOOL) == 2 && sizeof(GUID) == 16);

TARVEL_LAYOUT(DBID, 32);
TARVEL_FIELD(DBID, eKind, 16);
TARVEL_FIELD(DBID, uName, 24);

TARVEL_LAYOUT(DBCOLUMNINFO, 80);
TARVEL_FIELD(DBCOLUMNINFO, pwszName, 0);
TARVEL_FIELD(DBCOLUMNINFO, pTypeInfo, 8);
TARVEL_FIELD(DBCOLUMNINFO, iOrdinal, 16);
TARVEL_FIELD(DBCOLUMNINFO, dwFlags, 24);
TARVEL_FIELD(DBCOLUMNINFO, ulColumnSize, 32);
TARVEL_FIELD(DBCOLUMNINFO, wType, 40);
TARVEL_FIELD(DBCOLUMNINFO, bPrecision, 42);
TARVEL_FIELD(DBCOLUMNINFO, bScale, 43);
TARVEL_FIELD(DBCOLUMNINFO, columnid, 48);

TARVEL_LAYOUT(DBBINDING, 88);
TARVEL_FIELD(DBBINDING, iOrdinal, 0);
TARVEL_FIELD(DBBINDING, obValue, 8);
TARVEL_FIELD(DBBINDING, obLength, 16);
TARVEL_FIELD(DBBINDING, obStatus, 24);
TARVEL_FIELD(DBBINDING, pTypeInfo, 32);
TARVEL_FIELD(DBBINDING, pObject, 40);
TARVEL_FIELD(DBBINDING, pBindExt, 48);
TARVEL_FIELD(DBBINDING, dwPart, 56);
TARVEL_FIELD(DBBINDING, dwMemOwner, 60);
TARVEL_FIELD(DBBINDING, eParamIO, 64);
TARVEL_FIELD(DBBINDING, cbMaxLen, 72);
TARVEL_FIELD(DBBINDING, dwFlags, 80);
TARVEL_FIELD(DBBINDING, wType, 84);
TARVEL_FIELD(DBBINDING, bPrecision, 86);
TARVEL_FIELD(DBBINDING, bScale, 87);

TARVEL_LAYOUT(DBOBJECT, 20);
TARVEL_FIELD(DBOBJECT, dwFlags, 0);
TARVEL_FIELD(DBOBJECT, iid, 4);

TARVEL_LAYOUT(VARIANT, 24);
TARVEL_FIELD(VARIANT, vt, 0);
TARVEL_FIELD(VARIANT, bstrVal, 8);
TARVEL_FIELD(VARIANT, boolVal, 8);

TARVEL_LAYOUT(PROPVARIANT, 24);
TARVEL_FIELD(PROPVARIANT, vt, 0);
TARVEL_FIELD(PROPVARIANT, pwszVal, 8);
TARVEL_FIELD(PROPVARIANT, calpwstr.cElems, 8);
TARVEL_FIELD(PROPVARIANT, calpwstr.pElems, 16);

TARVEL_LAYOUT(DBPROP, 72);
TARVEL_FIELD(DBPROP, dwPropertyID, 0);
TARVEL_FIELD(DBPROP, dwOptions, 4);
TARVEL_FIELD(DBPROP, dwStatus, 8);
TARVEL_FIELD(DBPROP, colid, 16);
TARVEL_FIELD(DBPROP, vValue, 48);

TARVEL_LAYOUT(DBPROPSET, 32);
TARVEL_FIELD(DBPROPSET, rgProperties, 0);
TARVEL_FIELD(DBPROPSET, cProperties, 8);
TARVEL_FIELD(DBPROPSET, guidPropertySet, 12);

TARVEL_LAYOUT(DBPROPIDSET, 32);
TARVEL_FIELD(DBPROPIDSET, rgPropertyIDs, 0);
TARVEL_FIELD(DBPROPIDSET, cPropertyIDs, 8);
TARVEL_FIELD(DBPROPIDSET, guidPropertySet, 12);

TARVEL_LAYOUT(DBVECTOR, 16);
TARVEL_FIELD(DBVECTOR, size, 0);
TARVEL_FIELD(DBVECTOR, ptr, 8);

TARVEL_LAYOUT(SAFEARRAY, 32);
TARVEL_FIELD(SAFEARRAY, pvData, 16);
