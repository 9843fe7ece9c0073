#pragma once

// The store's object archive: little-endian primitives, length-prefixed strings, counted
// lists and object tags that name a record's class the first time it appears and refer
// back to a record written before. One archive object serves one pass, in one direction.

#include "model/DateTime.h"
#include "model/Object.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sentrel {

class CArchiveException : public std::runtime_error {
public:
    enum class Cause {
        EndOfFile,     // a read ran past the end of the data
        BadLength,     // a length that cannot be right (string over 2 GiB, class name of 64+)
        BadIndex,      // a record or class number out of range
        BadSchema,     // a stored schema that differs from the class's
        BadClass,      // a class name that is not registered
        WrongKind,     // a record of the wrong kind for its list (an alert among watches)
        BadTimeStamp,  // a time stamp that does not fit in four bytes
        NotArchivable, // a record whose class is not registered
    };

    CArchiveException(Cause cause, std::uint64_t offset, std::string detail);

    Cause GetCause() const { return m_cause; }
    std::uint64_t GetOffset() const { return m_offset; }
    const std::string& GetDetail() const { return m_detail; }

private:
    Cause m_cause;
    std::uint64_t m_offset;
    std::string m_detail;
};

class CArchive {
public:
    // Loading from `data`, which must outlive the archive.
    explicit CArchive(std::string_view data);
    // Loading from a source that hands over the bytes in order, read through a buffer
    // (long strings are copied from it into memory made present in one go): it copies at most `max`
    // bytes to `into` and returns how many, 0 at the end. Whatever it throws ends the load.
    // `expectedSize` (the file's size) only sizes the memory a long string takes at
    // once; a string is never given more than the bytes that have arrived for it.
    using Source = std::function<std::size_t(char* into, std::size_t max)>;
    CArchive(Source source, std::uint64_t expectedSize);
    // Storing into an internal buffer (Data()).
    CArchive();
    // Storing into a sink that takes the bytes in pieces, in order, as they are written
    // (through a buffer, and long strings directly). Flush() hands over what is buffered.
    // Whatever the sink throws ends the store.
    using Sink = std::function<void(std::string_view bytes)>;
    explicit CArchive(Sink sink);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return !m_loading; }

    // Bytes read so far (loading) or written so far (storing).
    std::uint64_t Offset() const { return m_loading ? m_offset : m_flushed + m_out.size(); }
    void Flush();
    const std::string& Data() const { return m_out; }
    std::string TakeData() { return std::move(m_out); }

    // Primitives, one pair per kind.
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::int32_t ReadInt();
    std::uint32_t ReadUInt() { return static_cast<std::uint32_t>(ReadInt()); }
    bool ReadBool() { return ReadInt() != 0; }
    double ReadDouble();
    std::string ReadString();
    CDateTime ReadDateTime();
    std::int64_t ReadTimeStamp();
    std::uint32_t ReadCount();
    // A record, a back reference or null. A new record is created empty, numbered and
    // then reads its own body; it stays owned by the archive until a list claims it.
    // With `kind`, a record of another kind is an error, raised before its body is read
    // (so a record can never nest inside one of its own kind, however the bytes go).
    CObject* ReadObject(const RecordClass* kind = nullptr);

    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteInt(std::int32_t value);
    void WriteUInt(std::uint32_t value) { WriteInt(static_cast<std::int32_t>(value)); }
    void WriteBool(bool value) { WriteInt(value ? 1 : 0); }
    void WriteDouble(double value);
    void WriteString(std::string_view value);
    void WriteDateTime(const CDateTime& value);
    void WriteTimeStamp(std::int64_t value);
    void WriteCount(std::uint32_t count);
    void WriteObject(const CObject* object);

    // Both directions in one call, for Serialize.
    void Serialize(std::string& value);
    void Serialize(bool& value);
    void Serialize(std::int32_t& value);
    void Serialize(std::uint32_t& value);
    void Serialize(CDateTime& value);
    void SerializeTimeStamp(std::int64_t& value);

    // A list of records that the list owns (the document's lists).
    template <class T> void SerializeOwned(std::vector<std::unique_ptr<T>>& list);
    // A list of records owned elsewhere (an activation's watch and alerts).
    template <class T> void SerializeReferences(std::vector<T*>& list);

    // Takes a record this archive created out of its keeping. Null when the archive does
    // not hold it (a back reference to a record already claimed).
    std::unique_ptr<CObject> Claim(CObject* object);
    // Every record read completely while loading that no list claimed, in creation order.
    // A record whose body was cut short by an error is dropped: nothing complete refers
    // to it.
    std::vector<std::unique_ptr<CObject>> TakeUnclaimed();

private:
    [[noreturn]] void Fail(CArchiveException::Cause cause, std::uint64_t offset,
                           std::string detail) const;
    // The next n bytes (n at most kBufferSize), or end-of-file.
    const char* Need(std::size_t n) {
        if (static_cast<std::size_t>(m_end - m_next) < n && !Fill(n)) {
            FailAtEnd(n);
        }
        const char* p = m_next;
        m_next += n;
        m_offset += n;
        return p;
    }
    // Moves the bytes at hand to the buffer's start and reads on until `n` are at hand;
    // false when the source ends first.
    bool Fill(std::size_t n);
    [[noreturn]] void FailAtEnd(std::size_t n) const;
    // The next `count` bytes into `out`; a string of `characters` that starts at `start`
    // when they run out.
    void ReadBytes(std::string& out, std::uint64_t count, std::uint64_t start,
                   std::uint64_t characters);
    std::size_t FromSource(char* into, std::size_t max);

    static constexpr std::size_t kBufferSize = 64 * 1024;

    bool m_loading;
    // Loading: the bytes at hand are [m_next, m_end), of the caller's data or of m_buffer.
    const char* m_next = nullptr;
    const char* m_end = nullptr;
    std::uint64_t m_offset = 0; // of m_next
    Source m_source;
    std::uint64_t m_expectedSize = 0;
    std::unique_ptr<char[]> m_buffer;
    struct Entry {
        const RecordClass* cls = nullptr; // set for class descriptors
        CObject* object = nullptr;        // set for records
    };
    std::vector<Entry> m_loadTable; // index 0 is null
    struct Created {
        std::unique_ptr<CObject> object; // null once claimed
        bool complete = false;           // its body was read to the end
    };
    std::vector<Created> m_created;
    std::unordered_map<const CObject*, std::size_t> m_createdIndex;
    // Storing
    std::string m_out;
    Sink m_sink;
    std::uint64_t m_flushed = 0; // bytes already handed to the sink
    void FlushIfFull() {
        if (m_sink && m_out.size() >= kBufferSize) {
            Flush();
        }
    }
    std::unordered_map<const CObject*, std::uint32_t> m_objectNumbers;
    std::unordered_map<const RecordClass*, std::uint32_t> m_classNumbers;
    std::uint32_t m_nextNumber = 1;
};

template <class T> void CArchive::SerializeOwned(std::vector<std::unique_ptr<T>>& list) {
    if (IsStoring()) {
        WriteCount(static_cast<std::uint32_t>(list.size()));
        for (const auto& record : list) {
            WriteObject(record.get());
        }
        return;
    }
    // The count is not trusted: nothing is reserved from it, and each element either reads
    // in full or ends the load, keeping the ones before it.
    const std::uint32_t count = ReadCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t offset = Offset();
        T* typed = static_cast<T*>(ReadObject(&T::classInfo));
        if (!typed) {
            continue; // a null entry holds nothing to keep
        }
        std::unique_ptr<CObject> owned = Claim(typed);
        if (!owned) {
            Fail(CArchiveException::Cause::BadIndex, offset,
                 std::string("a ") + typed->GetRuntimeClass().name + " listed twice");
        }
        list.emplace_back(static_cast<T*>(owned.release()));
    }
}

template <class T> void CArchive::SerializeReferences(std::vector<T*>& list) {
    if (IsStoring()) {
        WriteCount(static_cast<std::uint32_t>(list.size()));
        for (const T* record : list) {
            WriteObject(record);
        }
        return;
    }
    const std::uint32_t count = ReadCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (T* typed = static_cast<T*>(ReadObject(&T::classInfo))) {
            list.push_back(typed);
        }
    }
}

// A readable account of an archive error: what went wrong (the offset is separate).
std::string DescribeArchiveError(const CArchiveException& error);

} // namespace sentrel
