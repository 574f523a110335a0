// The stand-in search manager's local server registered for the machine in a Wine prefix of the
// tests, with the proxies and stubs of the Search API, for as long as the registration lives.
// It replaces the machine's search manager: only ever under Wine.
#pragma once

#include <windows.h>

#include <string>

namespace tarvel::testing {

class ServerRegistration {
public:
    // server: the program COM starts, with its arguments.
    explicit ServerRegistration(const std::wstring& server);
    ~ServerRegistration();
    ServerRegistration(const ServerRegistration&) = delete;
    ServerRegistration& operator=(const ServerRegistration&) = delete;

    bool registered() const { return registered_; }

private:
    HMODULE proxies_ = nullptr;
    bool registered_ = false;
};

// Whether the program runs under Wine.
bool underWine();

}  // namespace tarvel::testing
