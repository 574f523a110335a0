// What tests see of the stand-in objects: a journal of the calls made on them, a plan of calls
// that are to fail, and a check that every object's references came back to zero. The service
// runs without one; every hook then does nothing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf.h"
#include "platform.h"

namespace tarvel::service {

using tarvel::WString;

class ObjectCore;

class Instrumentation {
public:
    Instrumentation() = default;
    Instrumentation(const Instrumentation&) = delete;
    Instrumentation& operator=(const Instrumentation&) = delete;
    ~Instrumentation();

    // Journals the call "method(detail)" and, when the plan says so, returns the failure that
    // the call is to report instead of doing its work.
    std::optional<HRESULT> enter(std::string_view method, std::string_view detail = {});
    // Journals without counting the call as one that can fail.
    void note(std::string entry);
    // A call that no scenario expects: journaled, recorded as an error; the caller answers it
    // with E_NOTIMPL.
    HRESULT unexpected(std::string_view method);
    void error(std::string message);

    const std::vector<std::string>& journal() const { return journal_; }
    std::vector<std::string> journalMatching(std::string_view fragment) const;
    void clearJournal() { journal_.clear(); }
    const std::vector<std::string>& errors() const { return errors_; }

    // The occurrence-th call (counted from 1) whose method name or whole entry equals pattern
    // fails with hr.
    void failCall(std::string pattern, HRESULT hr, int occurrence = 1);
    // The n-th call made through enter (counted from 1) fails with hr.
    void failNth(long n, HRESULT hr);
    long callCount() const { return calls_; }

    // Objects made under this instrumentation stay alive until it ends, so that their counts can
    // be read after the last reference is gone.
    void adopt(ObjectCore* object);
    const std::vector<ObjectCore*>& objects() const { return objects_; }
    // Objects whose reference count is not zero, as "name: count".
    std::vector<std::string> liveObjects() const;

private:
    struct PlannedFailure {
        std::string pattern;
        HRESULT hr;
        int occurrence;
        int seen = 0;
    };

    std::vector<std::string> journal_;
    std::vector<std::string> errors_;
    std::vector<PlannedFailure> planned_;
    long failAt_ = 0;
    HRESULT failAtResult_ = S_OK;
    long calls_ = 0;
    std::vector<ObjectCore*> objects_;
};

// UTF-8 text of a UTF-16 string, for journals and messages.
std::string narrow(const WCHAR* text);
std::string narrow(const WCHAR* text, size_t length);
// The interface name of a known IID, or its GUID text.
std::string interfaceName(REFIID riid);
std::string hresultText(HRESULT hr);

}  // namespace tarvel::service
