// COM base declarations for non-Windows builds: the names, values and 64-bit layouts of the
// Windows SDK, so that code written against the platform builds unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#define STDMETHODCALLTYPE
#define WINAPI
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int BOOL;
typedef unsigned char boolean;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef char CHAR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef size_t SIZE_T;
typedef void* PVOID;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef LONG HRESULT;
typedef LONG SCODE;
typedef DWORD LCID;
typedef void* HANDLE;
typedef void* HINSTANCE;
typedef HINSTANCE HMODULE;

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef char* LPSTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;

#define TRUE 1
#define FALSE 0

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    const uint8_t* x = reinterpret_cast<const uint8_t*>(&a);
    const uint8_t* y = reinterpret_cast<const uint8_t*>(&b);
    for (size_t i = 0; i < sizeof(GUID); ++i) {
        if (x[i] != y[i]) {
            return false;
        }
    }
    return true;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
    return !IsEqualGUID(a, b);
}

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002)
#define E_POINTER static_cast<HRESULT>(0x80004003)
#define E_ABORT static_cast<HRESULT>(0x80004004)
#define E_FAIL static_cast<HRESULT>(0x80004005)
#define E_UNEXPECTED static_cast<HRESULT>(0x8000FFFF)
#define E_ACCESSDENIED static_cast<HRESULT>(0x80070005)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000E)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057)
#define CLASS_E_NOAGGREGATION static_cast<HRESULT>(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE static_cast<HRESULT>(0x80040111)
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154)
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0)
#define CO_E_CLASSSTRING static_cast<HRESULT>(0x800401F3)
#define CO_E_OBJNOTREG static_cast<HRESULT>(0x800401FB)
#define RPC_E_CHANGED_MODE static_cast<HRESULT>(0x80010106)

enum tagCOINIT {
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
};

enum tagCLSCTX {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_ALL =
        CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
};

enum tagREGCLS {
    REGCLS_SINGLEUSE = 0,
    REGCLS_MULTIPLEUSE = 1,
    REGCLS_MULTI_SEPARATE = 2,
};

typedef enum _APTTYPE {
    APTTYPE_CURRENT = -1,
    APTTYPE_STA = 0,
    APTTYPE_MTA = 1,
    APTTYPE_NA = 2,
    APTTYPE_MAINSTA = 3,
} APTTYPE;

typedef enum _APTTYPEQUALIFIER {
    APTTYPEQUALIFIER_NONE = 0,
} APTTYPEQUALIFIER;

// COM interfaces are released through their own Release, never deleted: no destructor.
// NOLINTBEGIN(cppcoreguidelines-virtual-class-destructor)
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct IMallocSpy : public IUnknown {
    virtual SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) = 0;
    virtual void* STDMETHODCALLTYPE PostAlloc(void* pActual) = 0;
    virtual void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL fSpyed) = 0;
    virtual void STDMETHODCALLTYPE PostFree(BOOL fSpyed) = 0;
    virtual SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest,
                                                void** ppNewRequest, BOOL fSpyed) = 0;
    virtual void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL fSpyed) = 0;
    virtual void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL fSpyed) = 0;
    virtual SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL fSpyed) = 0;
    virtual void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL fSpyed) = 0;
    virtual int STDMETHODCALLTYPE PostDidAlloc(void* pRequest, BOOL fSpyed, int fActual) = 0;
    virtual void STDMETHODCALLTYPE PreHeapMinimize() = 0;
    virtual void STDMETHODCALLTYPE PostHeapMinimize() = 0;
};

struct ISequentialStream : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};
// NOLINTEND(cppcoreguidelines-virtual-class-destructor)

extern "C" {
extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IMallocSpy;
extern const IID IID_ISequentialStream;
extern const IID IID_IStream;
extern const IID IID_IDispatch;

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT CoGetApartmentType(APTTYPE* pAptType, APTTYPEQUALIFIER* pAptQualifier);
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk, DWORD dwClsContext, DWORD flags,
                              DWORD* lpdwRegister);
HRESULT CoRevokeClassObject(DWORD dwRegister);
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);

LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
HRESULT CoRegisterMallocSpy(IMallocSpy* pMallocSpy);
HRESULT CoRevokeMallocSpy();
}

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// Named only in signatures of interfaces the module never calls.
struct PROPERTYKEY;
struct IEnumString;
