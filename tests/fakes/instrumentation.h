// What tests see of the stand-in objects: a journal of the calls made on them, a plan of calls
// that are to fail, interfaces to deny, a check that every object's references came back to
// zero, and faults: calls on released objects, calls no scenario expects, broken rules.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "com_object.h"

namespace tarvel::service {

class Instrumentation final : public ObjectWatcher {
public:
    Instrumentation() = default;
    Instrumentation(const Instrumentation&) = delete;
    Instrumentation& operator=(const Instrumentation&) = delete;
    ~Instrumentation();

    // ObjectWatcher
    std::optional<HRESULT> calling(const ObjectCore& object, std::string_view method,
                                   const CallDetail& detail) override;
    bool addingReference(const ObjectCore& object, const char* via) override;
    void releasing(const ObjectCore& object, const char* via) override;
    HRESULT unexpected(std::string_view method) override;
    void fault(std::string message) override { errors_.push_back(std::move(message)); }
    void adopt(ObjectCore* object) override { objects_.push_back(object); }
    void handedOver(std::string what) override;

    // Journals an entry that is no call, such as a free seen by the memory ledger.
    void note(std::string entry) { journal_.push_back(std::move(entry)); }

    const std::vector<std::string>& journal() const { return journal_; }
    // Without a journal, calls cost what the fuzzer can afford: only failed calls are kept.
    void keepJournal(bool keep) { journaling_ = keep; }
    // The calls that were made to fail, as "method(detail) -> code".
    const std::vector<std::string>& failedCalls() const { return failed_; }
    // Back to a new instrumentation's state: every object it kept is deleted.
    void reset();
    std::vector<std::string> journalMatching(std::string_view fragment) const;
    void clearJournal() { journal_.clear(); }
    const std::vector<std::string>& errors() const { return errors_; }

    // The occurrence-th call (counted from 1) whose method name or whole entry equals pattern
    // fails with hr.
    void failCall(std::string pattern, HRESULT hr, int occurrence = 1);
    // The n-th call (counted from 1) fails with hr.
    void failNth(long n, HRESULT hr);
    long callCount() const { return calls_; }
    // Every object denies the interface, as a provider that does not offer it.
    void withhold(REFIID riid) { withheld_.insert(interfaceName(riid)); }

    // Objects stay alive until the instrumentation ends, so that their counts can be read
    // after the last reference is gone.
    const std::vector<ObjectCore*>& objects() const { return objects_; }
    // Objects whose reference count is not zero, as "name: count".
    std::vector<std::string> liveObjects() const;
    // The references held on objects named name ("IDBInitialize", "IRowset", ...), all together.
    long referencesOf(std::string_view name) const;

private:
    struct PlannedFailure {
        std::string pattern;
        HRESULT hr;
        int occurrence;
        int seen = 0;
    };

    std::vector<std::string> journal_;
    std::vector<std::string> failed_;
    bool journaling_ = true;
    // Whether some plan names a whole entry, detail included, rather than a method.
    bool plansNameEntries_ = false;
    std::vector<std::string> errors_;
    std::vector<PlannedFailure> planned_;
    std::set<std::string> withheld_;
    long failAt_ = 0;
    HRESULT failAtResult_ = S_OK;
    long calls_ = 0;
    std::vector<ObjectCore*> objects_;
};

}  // namespace tarvel::service
