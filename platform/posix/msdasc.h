// The OLE DB data-initialization service for non-Windows builds.
#pragma once

#include "oledb.h"

// COM interfaces are released through their own Release, never deleted: no destructor.
// NOLINTBEGIN(cppcoreguidelines-virtual-class-destructor)
struct IDataInitialize : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                                    LPCOLESTR pwszInitializationString, REFIID riid,
                                                    IUnknown** ppDataSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInitializationString(IUnknown* pDataSource,
                                                              boolean fIncludePassword,
                                                              LPOLESTR* ppwszInitString) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDBInstance(REFCLSID clsidProvider, IUnknown* pUnkOuter,
                                                       DWORD dwClsCtx, LPOLESTR pwszReserved,
                                                       REFIID riid, IUnknown** ppDataSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDBInstanceEx(REFCLSID clsidProvider,
                                                         IUnknown* pUnkOuter, DWORD dwClsCtx,
                                                         LPOLESTR pwszReserved,
                                                         COSERVERINFO* pServerInfo, ULONG cmq,
                                                         MULTI_QI* rgmqResults) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    LoadStringFromStorage(LPCOLESTR pwszFileName, LPOLESTR* ppwszInitializationString) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteStringToStorage(LPCOLESTR pwszFileName,
                                                           LPCOLESTR pwszInitializationString,
                                                           DWORD dwCreationDisposition) = 0;
};
// NOLINTEND(cppcoreguidelines-virtual-class-destructor)

extern "C" {
extern const CLSID CLSID_MSDAINITIALIZE;
extern const IID IID_IDataInitialize;
}
