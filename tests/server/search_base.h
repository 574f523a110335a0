/* Stands in for the header widl would make of search_base.idl: the SDK's headers have the base
   types and IUnknown, and these declarations of IUnknown's proxies, which MinGW-w64's unknwn.h
   gives to C++ alone; the Search API's enumerations are 32-bit. */
#pragma once

#include <unknwn.h>

typedef LONG PROXY_ACCESS;
typedef LONG CatalogStatus;
typedef LONG CatalogPausedReason;
typedef LONG SEARCH_TERM_EXPANSION;
typedef LONG SEARCH_QUERY_SYNTAX;
typedef LONG CLUSION_REASON;

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid,
                                                        void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
