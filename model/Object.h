#pragma once

// Root of the archivable records, with the run-time class query that the archive uses to
// name a record's class and to create an empty one when reading.

#include <cstdint>
#include <memory>

namespace sentrel {

class CArchive;
class CObject;
class IFieldVisitor;

struct RecordClass {
    const char* name;
    std::uint16_t schema;
    std::unique_ptr<CObject> (*create)(); // null for classes that cannot be created
    const RecordClass* base;              // null for CObject
};

class CObject {
public:
    CObject() = default;
    virtual ~CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;

    virtual const RecordClass& GetRuntimeClass() const { return classInfo; }

    // Hands every stored field to the visitor, in stored order, base fields first.
    virtual void VisitFields(IFieldVisitor& fields);

    // Writes or reads the record's fields, as VisitFields lists them.
    void Serialize(CArchive& ar);

    // A record of the same class with the same stored fields, through the field list; null
    // for a class that cannot be created. What is not stored (a connection, a cache) is not
    // copied.
    virtual std::unique_ptr<CObject> Clone() const;
    // Gives this record the stored fields of `from`, a record of the same class.
    void CopyFieldsFrom(const CObject& from);

    // True when this record's class is `cls` or derives from it.
    bool IsKindOf(const RecordClass& cls) const;

    static const RecordClass classInfo;
};

} // namespace sentrel

// clang-format off
// In a class body: the run-time class of a concrete record.
#define SENTREL_DECLARE_RECORD()                                                                   \
public:                                                                                            \
    static const ::sentrel::RecordClass classInfo;                                                 \
    const ::sentrel::RecordClass& GetRuntimeClass() const override { return classInfo; }

// In one source file: the name the store knows the class by (schema 0), which stays when
// the C++ class is renamed, and the factory of an empty record.
#define SENTREL_IMPLEMENT_RECORD(Class, Base, storedName)                                          \
    const ::sentrel::RecordClass Class::classInfo{                                                 \
        storedName, 0,                                                                             \
        []() -> std::unique_ptr<::sentrel::CObject> { return std::make_unique<Class>(); },         \
        &Base::classInfo}
// clang-format on
