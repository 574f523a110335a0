// Class objects registered by the process, the ProgID table, and CoCreateInstance over them.
// Creation takes the steps COM takes for one interface, so that objects see the same calls on
// both platforms: ask the class object for IClassFactory and create the instance for the
// requested interface. As in Wine's ole32, a class object is found only from the apartment that
// registered it; a program with several apartments registers in each.
#include <mutex>
#include <string>
#include <vector>

#include "../../registration.h"
#include "runtime_state.h"

extern "C" const CLSID CLSID_MSDAINITIALIZE;

namespace {

struct ClassEntry {
    CLSID clsid;
    IUnknown* object;
    DWORD context;
    DWORD cookie;
    unsigned long long apartment;
};

struct ProgIdEntry {
    std::u16string progId;
    CLSID clsid;
};

std::mutex tableLock;
std::vector<ClassEntry> classes;
std::vector<ProgIdEntry> progIds;
DWORD nextCookie = 1;

char16_t lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool sameProgId(const std::u16string& a, LPCOLESTR b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0 || lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return b[i] == 0;
}

// Takes a reference to the newest class object registered for the class in the context by the
// calling thread's apartment.
IUnknown* findClassObject(REFCLSID clsid, DWORD context) {
    const unsigned long long apartment = tarvel::runtime::currentApartmentId();
    std::lock_guard<std::mutex> guard(tableLock);
    for (auto it = classes.rbegin(); it != classes.rend(); ++it) {
        if (it->apartment == apartment && IsEqualGUID(it->clsid, clsid) &&
            (it->context & context) != 0) {
            it->object->AddRef();
            return it->object;
        }
    }
    return nullptr;
}

HRESULT createFromClassObject(IUnknown* classObject, IUnknown* pUnkOuter, REFIID riid,
                              LPVOID* ppv) {
    IClassFactory* factory = nullptr;
    HRESULT hr = classObject->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    classObject->Release();
    if (FAILED(hr)) {
        return hr;
    }
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace

extern "C" TARVEL_RUNTIME_API HRESULT CoRegisterClassObject(REFCLSID rclsid, IUnknown* pUnk,
                                                            DWORD dwClsContext, DWORD,
                                                            DWORD* lpdwRegister) {
    if (pUnk == nullptr || lpdwRegister == nullptr) {
        return E_INVALIDARG;
    }
    if (!tarvel::runtime::apartmentEntered()) {
        return CO_E_NOTINITIALIZED;
    }
    pUnk->AddRef();
    std::lock_guard<std::mutex> guard(tableLock);
    *lpdwRegister = nextCookie++;
    classes.push_back(ClassEntry{rclsid, pUnk, dwClsContext, *lpdwRegister,
                                 tarvel::runtime::currentApartmentId()});
    return S_OK;
}

namespace tarvel::runtime {

void revokeClassObjectsOf(unsigned long long apartment) {
    std::vector<IUnknown*> revoked;
    {
        std::lock_guard<std::mutex> guard(tableLock);
        for (auto it = classes.begin(); it != classes.end();) {
            if (it->apartment == apartment) {
                revoked.push_back(it->object);
                it = classes.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (IUnknown* object : revoked) {
        object->Release();
    }
}

}  // namespace tarvel::runtime

extern "C" TARVEL_RUNTIME_API HRESULT CoRevokeClassObject(DWORD dwRegister) {
    IUnknown* object = nullptr;
    {
        std::lock_guard<std::mutex> guard(tableLock);
        for (auto it = classes.begin(); it != classes.end(); ++it) {
            if (it->cookie == dwRegister) {
                object = it->object;
                classes.erase(it);
                break;
            }
        }
    }
    if (object == nullptr) {
        return CO_E_OBJNOTREG;
    }
    object->Release();
    return S_OK;
}

extern "C" TARVEL_RUNTIME_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter,
                                                       DWORD dwClsContext, REFIID riid,
                                                       LPVOID* ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (!tarvel::runtime::apartmentEntered()) {
        return CO_E_NOTINITIALIZED;
    }
    if (IUnknown* classObject = findClassObject(rclsid, dwClsContext)) {
        return createFromClassObject(classObject, pUnkOuter, riid, ppv);
    }
    if (IsEqualGUID(rclsid, CLSID_MSDAINITIALIZE) && (dwClsContext & CLSCTX_INPROC_SERVER) != 0) {
        if (pUnkOuter != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return tarvel::runtime::createDataInitialize(riid, ppv);
    }
    return REGDB_E_CLASSNOTREG;
}

extern "C" TARVEL_RUNTIME_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
    if (lpszProgID == nullptr || lpclsid == nullptr) {
        return E_INVALIDARG;
    }
    std::lock_guard<std::mutex> guard(tableLock);
    for (const ProgIdEntry& entry : progIds) {
        if (sameProgId(entry.progId, lpszProgID)) {
            *lpclsid = entry.clsid;
            return S_OK;
        }
    }
    *lpclsid = CLSID{};
    return CO_E_CLASSSTRING;
}

namespace {

void setProgId(LPCWSTR progId, REFCLSID clsid) {
    std::lock_guard<std::mutex> guard(tableLock);
    for (ProgIdEntry& entry : progIds) {
        if (sameProgId(entry.progId, progId)) {
            entry.clsid = clsid;
            return;
        }
    }
    progIds.push_back(ProgIdEntry{std::u16string(progId), clsid});
}

void eraseProgId(LPCWSTR progId) {
    std::lock_guard<std::mutex> guard(tableLock);
    for (auto it = progIds.begin(); it != progIds.end(); ++it) {
        if (sameProgId(it->progId, progId)) {
            progIds.erase(it);
            return;
        }
    }
}

}  // namespace

namespace tarvel::platform {

namespace progids {

bool read(LPCWSTR progId, CLSID* clsid) {
    return SUCCEEDED(CLSIDFromProgID(progId, clsid));
}

HRESULT write(LPCWSTR progId, REFCLSID clsid) {
    if (progId == nullptr) {
        return E_INVALIDARG;
    }
    setProgId(progId, clsid);
    return S_OK;
}

void erase(LPCWSTR progId) {
    eraseProgId(progId);
}

// The runtime's ProgIDs live in the process and go with it.
void endOnInterruption() {}

namespace {
std::mutex registrationsLock;
}  // namespace

Lock::Lock() {
    registrationsLock.lock();
}

Lock::~Lock() {
    registrationsLock.unlock();
}

}  // namespace progids

}  // namespace tarvel::platform

namespace tarvel::platform {

// The runtime's BSTRs have no cache.
void disableBstrCache() {}

bool registrationsArePerUser() {
    return true;
}

// The runtime's table belongs to the process: the machine registers nothing in it.
bool machineRegisters(LPCWSTR, REFCLSID) {
    return false;
}

}  // namespace tarvel::platform
