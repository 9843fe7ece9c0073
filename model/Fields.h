#pragma once

// Every record kind names its fields once, in stored order with its base's fields first,
// by handing each to a visitor. Writing and reading the store, the JSON dump and the JSON
// import are visitors; none of them lists a kind's fields again.

#include <cstdint>
#include <string>
#include <vector>

namespace sentrel {

class CAlert;
class CDateTime;
class CWatch;

// One entry per kind of field the records hold. `name` is the field's name in the JSON
// forms of the store; the values are the record's own, to read or to fill.
class IFieldVisitor {
public:
    virtual ~IFieldVisitor() = default;

    virtual void String(const char* name, std::string& value) = 0;
    virtual void Int(const char* name, std::int32_t& value) = 0;
    // A four-byte int that holds a size, never negative.
    virtual void UInt(const char* name, std::uint32_t& value) = 0;
    virtual void Bool(const char* name, bool& value) = 0;
    virtual void DateTime(const char* name, CDateTime& value) = 0;
    virtual void TimeStamp(const char* name, std::int64_t& value) = 0;
    // Lists of records owned by the document, referred to (an activation's).
    virtual void Alerts(const char* name, std::vector<CAlert*>& list) = 0;
    virtual void Watches(const char* name, std::vector<CWatch*>& list) = 0;
};

} // namespace sentrel
