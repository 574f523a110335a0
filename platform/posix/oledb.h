// OLE DB declarations for non-Windows builds: types, records, interfaces (every method, in the
// platform's vtable order), constants and result codes as the Windows SDK publishes them.
#pragma once

#include "com.h"
#include "oleauto.h"

typedef ULONGLONG DBLENGTH;
typedef ULONGLONG DBORDINAL;
typedef ULONGLONG DBCOUNTITEM;
typedef ULONGLONG DBBYTEOFFSET;
typedef LONGLONG DBROWCOUNT;
typedef LONGLONG DBROWOFFSET;
typedef ULONG DBREFCOUNT;
typedef ULONG_PTR HROW;
typedef ULONG_PTR HACCESSOR;
typedef ULONG_PTR HCHAPTER;
typedef WORD DBTYPE;
typedef DWORD DBSTATUS;
typedef DWORD DBPART;
typedef DWORD DBMEMOWNER;
typedef DWORD DBPARAMIO;
typedef DWORD DBPROPID;
typedef DWORD DBPROPOPTIONS;
typedef DWORD DBPROPSTATUS;
typedef DWORD DBKIND;
typedef DWORD DBACCESSORFLAGS;
typedef DWORD DBBINDSTATUS;
typedef DWORD DBROWOPTIONS;
typedef DWORD DBROWSTATUS;
typedef DWORD DBCOLUMNFLAGS;
typedef DWORD DBPROPFLAGS;

struct ITypeInfo;
struct IStream;

enum DBTYPEENUM {
    DBTYPE_EMPTY = 0,
    DBTYPE_NULL = 1,
    DBTYPE_I2 = 2,
    DBTYPE_I4 = 3,
    DBTYPE_R4 = 4,
    DBTYPE_R8 = 5,
    DBTYPE_CY = 6,
    DBTYPE_DATE = 7,
    DBTYPE_BSTR = 8,
    DBTYPE_IDISPATCH = 9,
    DBTYPE_ERROR = 10,
    DBTYPE_BOOL = 11,
    DBTYPE_VARIANT = 12,
    DBTYPE_IUNKNOWN = 13,
    DBTYPE_DECIMAL = 14,
    DBTYPE_I1 = 16,
    DBTYPE_UI1 = 17,
    DBTYPE_UI2 = 18,
    DBTYPE_UI4 = 19,
    DBTYPE_I8 = 20,
    DBTYPE_UI8 = 21,
    DBTYPE_FILETIME = 64,
    DBTYPE_GUID = 72,
    DBTYPE_BYTES = 128,
    DBTYPE_STR = 129,
    DBTYPE_WSTR = 130,
    DBTYPE_NUMERIC = 131,
    DBTYPE_UDT = 132,
    DBTYPE_DBDATE = 133,
    DBTYPE_DBTIME = 134,
    DBTYPE_DBTIMESTAMP = 135,
    DBTYPE_HCHAPTER = 136,
    DBTYPE_PROPVARIANT = 138,
    DBTYPE_VARNUMERIC = 139,
    DBTYPE_VECTOR = 0x1000,
    DBTYPE_ARRAY = 0x2000,
    DBTYPE_BYREF = 0x4000,
    DBTYPE_RESERVED = 0x8000,
};

enum DBSTATUSENUM {
    DBSTATUS_S_OK = 0,
    DBSTATUS_E_BADACCESSOR = 1,
    DBSTATUS_E_CANTCONVERTVALUE = 2,
    DBSTATUS_S_ISNULL = 3,
    DBSTATUS_S_TRUNCATED = 4,
    DBSTATUS_E_SIGNMISMATCH = 5,
    DBSTATUS_E_DATAOVERFLOW = 6,
    DBSTATUS_E_CANTCREATE = 7,
    DBSTATUS_E_UNAVAILABLE = 8,
    DBSTATUS_E_PERMISSIONDENIED = 9,
    DBSTATUS_E_INTEGRITYVIOLATION = 10,
    DBSTATUS_E_SCHEMAVIOLATION = 11,
    DBSTATUS_E_BADSTATUS = 12,
    DBSTATUS_S_DEFAULT = 13,
};

enum DBPARTENUM { DBPART_INVALID = 0, DBPART_VALUE = 1, DBPART_LENGTH = 2, DBPART_STATUS = 4 };
enum DBMEMOWNERENUM { DBMEMOWNER_CLIENTOWNED = 0, DBMEMOWNER_PROVIDEROWNED = 1 };
enum DBPARAMIOENUM { DBPARAMIO_NOTPARAM = 0, DBPARAMIO_INPUT = 1, DBPARAMIO_OUTPUT = 2 };

enum DBACCESSORFLAGSENUM {
    DBACCESSOR_INVALID = 0,
    DBACCESSOR_PASSBYREF = 1,
    DBACCESSOR_ROWDATA = 2,
    DBACCESSOR_PARAMETERDATA = 4,
    DBACCESSOR_OPTIMIZED = 8,
    DBACCESSOR_INHERITED = 0x10,
};

enum DBBINDSTATUSENUM {
    DBBINDSTATUS_OK = 0,
    DBBINDSTATUS_BADORDINAL = 1,
    DBBINDSTATUS_UNSUPPORTEDCONVERSION = 2,
    DBBINDSTATUS_BADBINDINFO = 3,
    DBBINDSTATUS_BADSTORAGEFLAGS = 4,
    DBBINDSTATUS_NOINTERFACE = 5,
    DBBINDSTATUS_MULTIPLESTORAGE = 6,
};

enum DBKINDENUM {
    DBKIND_GUID_NAME = 0,
    DBKIND_GUID_PROPID = 1,
    DBKIND_NAME = 2,
    DBKIND_PGUID_NAME = 3,
    DBKIND_PGUID_PROPID = 4,
    DBKIND_PROPID = 5,
    DBKIND_GUID = 6,
};

enum DBCOLUMNFLAGSENUM {
    DBCOLUMNFLAGS_ISBOOKMARK = 0x1,
    DBCOLUMNFLAGS_MAYDEFER = 0x2,
    DBCOLUMNFLAGS_WRITE = 0x4,
    DBCOLUMNFLAGS_WRITEUNKNOWN = 0x8,
    DBCOLUMNFLAGS_ISFIXEDLENGTH = 0x10,
    DBCOLUMNFLAGS_ISNULLABLE = 0x20,
    DBCOLUMNFLAGS_MAYBENULL = 0x40,
    DBCOLUMNFLAGS_ISLONG = 0x80,
    DBCOLUMNFLAGS_ISROWID = 0x100,
    DBCOLUMNFLAGS_ISROWVER = 0x200,
    DBCOLUMNFLAGS_CACHEDEFERRED = 0x1000,
};

enum DBPROPSTATUSENUM {
    DBPROPSTATUS_OK = 0,
    DBPROPSTATUS_NOTSUPPORTED = 1,
    DBPROPSTATUS_BADVALUE = 2,
    DBPROPSTATUS_BADOPTION = 3,
    DBPROPSTATUS_BADCOLUMN = 4,
    DBPROPSTATUS_NOTALLSETTABLE = 5,
    DBPROPSTATUS_NOTSETTABLE = 6,
    DBPROPSTATUS_NOTSET = 7,
    DBPROPSTATUS_CONFLICTING = 8,
};

enum DBROWSTATUSENUM { DBROWSTATUS_S_OK = 0, DBROWSTATUS_E_INVALID = 12 };

enum DBPROPOPTIONSENUM { DBPROPOPTIONS_REQUIRED = 0, DBPROPOPTIONS_OPTIONAL = 1 };

enum DBPROPENUM {
    DBPROP_IRowsetChange = 0x7b,
    DBPROP_ISequentialStream = 0x89,
    DBPROP_IStream = 0x8b,
    DBPROP_INIT_PROVIDERSTRING = 0xa0,
};

#define STGM_READ 0x00000000L

struct DBID {
    union {
        GUID guid;
        GUID* pguid;
    } uGuid;
    DBKIND eKind;
    union {
        LPOLESTR pwszName;
        ULONG ulPropid;
    } uName;
};

struct DBCOLUMNINFO {
    LPOLESTR pwszName;
    ITypeInfo* pTypeInfo;
    DBORDINAL iOrdinal;
    DBCOLUMNFLAGS dwFlags;
    DBLENGTH ulColumnSize;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
    DBID columnid;
};

struct DBOBJECT {
    DWORD dwFlags;
    IID iid;
};

struct DBBINDEXT {
    BYTE* pExtension;
    DBCOUNTITEM ulExtension;
};

struct DBBINDING {
    DBORDINAL iOrdinal;
    DBBYTEOFFSET obValue;
    DBBYTEOFFSET obLength;
    DBBYTEOFFSET obStatus;
    ITypeInfo* pTypeInfo;
    DBOBJECT* pObject;
    DBBINDEXT* pBindExt;
    DBPART dwPart;
    DBMEMOWNER dwMemOwner;
    DBPARAMIO eParamIO;
    DBLENGTH cbMaxLen;
    DWORD dwFlags;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
};

struct DBVECTOR {
    DBLENGTH size;
    void* ptr;
};

struct DBDATE {
    SHORT year;
    USHORT month;
    USHORT day;
};

struct DBTIME {
    USHORT hour;
    USHORT minute;
    USHORT second;
};

struct DBTIMESTAMP {
    SHORT year;
    USHORT month;
    USHORT day;
    USHORT hour;
    USHORT minute;
    USHORT second;
    ULONG fraction;
};

struct DB_NUMERIC {
    BYTE precision;
    BYTE scale;
    BYTE sign;
    BYTE val[16];
};

struct DBPROP {
    DBPROPID dwPropertyID;
    DBPROPOPTIONS dwOptions;
    DBPROPSTATUS dwStatus;
    DBID colid;
    VARIANT vValue;
};

struct DBPROPSET {
    DBPROP* rgProperties;
    ULONG cProperties;
    GUID guidPropertySet;
};

struct DBPROPIDSET {
    DBPROPID* rgPropertyIDs;
    ULONG cPropertyIDs;
    GUID guidPropertySet;
};

struct DBPROPINFO {
    LPOLESTR pwszDescription;
    DBPROPID dwPropertyID;
    DBPROPFLAGS dwFlags;
    VARTYPE vtType;
    VARIANT vValues;
};

struct DBPROPINFOSET {
    DBPROPINFO* rgPropertyInfos;
    ULONG cPropertyInfos;
    GUID guidPropertySet;
};

struct DBPARAMS {
    void* pData;
    DBCOUNTITEM cParamSets;
    HACCESSOR hAccessor;
};

struct COSERVERINFO;
struct MULTI_QI;

// COM interfaces are released through their own Release, never deleted: no destructor.
// NOLINTBEGIN(cppcoreguidelines-virtual-class-destructor)
struct IAccessor : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddRefAccessor(HACCESSOR hAccessor,
                                                     DBREFCOUNT* pcRefCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateAccessor(DBACCESSORFLAGS dwAccessorFlags,
                                                     DBCOUNTITEM cBindings,
                                                     const DBBINDING rgBindings[],
                                                     DBLENGTH cbRowSize, HACCESSOR* phAccessor,
                                                     DBBINDSTATUS rgStatus[]) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBindings(HACCESSOR hAccessor,
                                                  DBACCESSORFLAGS* pdwAccessorFlags,
                                                  DBCOUNTITEM* pcBindings,
                                                  DBBINDING** prgBindings) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseAccessor(HACCESSOR hAccessor,
                                                      DBREFCOUNT* pcRefCount) = 0;
};

struct IRowset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                                 DBREFCOUNT rgRefCounts[],
                                                 DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(HROW hRow, HACCESSOR hAccessor, void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset,
                                                  DBROWCOUNT cRows, DBCOUNTITEM* pcRowsObtained,
                                                  HROW** prghRows) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                                  DBROWOPTIONS rgRowOptions[],
                                                  DBREFCOUNT rgRefCounts[],
                                                  DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT STDMETHODCALLTYPE RestartPosition(HCHAPTER hReserved) = 0;
};

struct IRowsetInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetProperties(const ULONG cPropertyIDSets,
                                                    const DBPROPIDSET rgPropertyIDSets[],
                                                    ULONG* pcPropertySets,
                                                    DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReferencedRowset(DBORDINAL iOrdinal, REFIID riid,
                                                          IUnknown** ppReferencedRowset) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSpecification(REFIID riid, IUnknown** ppSpecification) = 0;
};

struct IChapteredRowset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) = 0;
};

struct IColumnsInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                                    OLECHAR** ppStringsBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapColumnIDs(DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                                                   DBORDINAL rgColumns[]) = 0;
};

struct IRowsetChange : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DeleteRows(HCHAPTER hReserved, DBCOUNTITEM cRows,
                                                 const HROW rghRows[],
                                                 DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetData(HROW hRow, HACCESSOR hAccessor, void* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE InsertRow(HCHAPTER hReserved, HACCESSOR hAccessor,
                                                void* pData, HROW* phRow) = 0;
};

struct ICommand : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                                              DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDBSession(REFIID riid, IUnknown** ppSession) = 0;
};

struct ICommandText : public ICommand {
    virtual HRESULT STDMETHODCALLTYPE GetCommandText(GUID* pguidDialect,
                                                     LPOLESTR* ppwszCommand) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCommandText(REFGUID rguidDialect,
                                                     LPCOLESTR pwszCommand) = 0;
};

struct IDBCreateCommand : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateCommand(IUnknown* pUnkOuter, REFIID riid,
                                                    IUnknown** ppCommand) = 0;
};

struct IDBCreateSession : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateSession(IUnknown* pUnkOuter, REFIID riid,
                                                    IUnknown** ppDBSession) = 0;
};

struct IOpenRowset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OpenRowset(IUnknown* pUnkOuter, DBID* pTableID,
                                                 DBID* pIndexID, REFIID riid, ULONG cPropertySets,
                                                 DBPROPSET rgPropertySets[],
                                                 IUnknown** ppRowset) = 0;
};

struct IDBInitialize : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize() = 0;
    virtual HRESULT STDMETHODCALLTYPE Uninitialize() = 0;
};

struct IDBProperties : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetProperties(ULONG cPropertyIDSets,
                                                    const DBPROPIDSET rgPropertyIDSets[],
                                                    ULONG* pcPropertySets,
                                                    DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyInfo(ULONG cPropertyIDSets,
                                                      const DBPROPIDSET rgPropertyIDSets[],
                                                      ULONG* pcPropertyInfoSets,
                                                      DBPROPINFOSET** prgPropertyInfoSets,
                                                      OLECHAR** ppDescBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperties(ULONG cPropertySets,
                                                    DBPROPSET rgPropertySets[]) = 0;
};
// NOLINTEND(cppcoreguidelines-virtual-class-destructor)

#define DB_E_BADACCESSORHANDLE static_cast<HRESULT>(0x80040E00)
#define DB_E_ROWLIMITEXCEEDED static_cast<HRESULT>(0x80040E01)
#define DB_E_BADROWHANDLE static_cast<HRESULT>(0x80040E04)
#define DB_E_OBJECTOPEN static_cast<HRESULT>(0x80040E05)
#define DB_E_BADCHAPTER static_cast<HRESULT>(0x80040E06)
#define DB_E_CANTCONVERTVALUE static_cast<HRESULT>(0x80040E07)
#define DB_E_BADBINDINFO static_cast<HRESULT>(0x80040E08)
#define DB_E_NOCOMMAND static_cast<HRESULT>(0x80040E0C)
#define DB_E_BADCOLUMNID static_cast<HRESULT>(0x80040E11)
#define DB_E_ERRORSINCOMMAND static_cast<HRESULT>(0x80040E14)
#define DB_E_DIALECTNOTSUPPORTED static_cast<HRESULT>(0x80040E16)
#define DB_E_UNSUPPORTEDCONVERSION static_cast<HRESULT>(0x80040E1D)
#define DB_E_BADSTARTPOSITION static_cast<HRESULT>(0x80040E1E)
#define DB_E_ERRORSOCCURRED static_cast<HRESULT>(0x80040E21)
#define DB_E_NOAGGREGATION static_cast<HRESULT>(0x80040E22)
#define DB_E_ROWSNOTRELEASED static_cast<HRESULT>(0x80040E25)
#define DB_E_CANTFETCHBACKWARDS static_cast<HRESULT>(0x80040E24)
#define DB_E_CANTSCROLLBACKWARDS static_cast<HRESULT>(0x80040E29)
#define DB_E_BADACCESSORFLAGS static_cast<HRESULT>(0x80040E46)
#define DB_E_NULLACCESSORNOTSUPPORTED static_cast<HRESULT>(0x80040E49)
#define DB_E_BADSTORAGEFLAGS static_cast<HRESULT>(0x80040E47)
#define DB_SEC_E_AUTH_FAILED static_cast<HRESULT>(0x80040E4D)
#define DB_E_ALREADYINITIALIZED static_cast<HRESULT>(0x80040E52)
#define DB_E_NOTSUPPORTED static_cast<HRESULT>(0x80040E53)
#define DB_E_BADORDINAL static_cast<HRESULT>(0x80040E55)
#define DB_S_ROWLIMITEXCEEDED static_cast<HRESULT>(0x00040EC0)
#define DB_S_ENDOFROWSET static_cast<HRESULT>(0x00040EC6)
#define DB_S_NORESULT static_cast<HRESULT>(0x00040EC9)
#define DB_S_ERRORSOCCURRED static_cast<HRESULT>(0x00040EDA)

extern "C" {
extern const IID IID_IAccessor;
extern const IID IID_IRowset;
extern const IID IID_IRowsetInfo;
extern const IID IID_IChapteredRowset;
extern const IID IID_IColumnsInfo;
extern const IID IID_IRowsetChange;
extern const IID IID_ICommand;
extern const IID IID_ICommandText;
extern const IID IID_IDBCreateCommand;
extern const IID IID_IDBCreateSession;
extern const IID IID_IOpenRowset;
extern const IID IID_IDBInitialize;
extern const IID IID_IDBProperties;
extern const GUID DBGUID_DEFAULT;
extern const GUID DBPROPSET_ROWSET;
extern const GUID DBPROPSET_DBINIT;
}
