/* The proxy/stub DLL's entry points (DllGetClassObject, DllRegisterServer, ...), as widl's
   dlldata.c makes them, under a class of the test world's own rather than an interface's IID:
   {6E2F1C55-3B9A-4D8E-9C71-2A5B8E4F0D31}. */
#define REGISTER_PROXY_DLL
#define PROXY_CLSID_IS \
    { 0x6e2f1c55, 0x3b9a, 0x4d8e, { 0x9c, 0x71, 0x2a, 0x5b, 0x8e, 0x4f, 0x0d, 0x31 } }
#include "dlldata.c"
