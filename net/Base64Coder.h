#pragma once

// Base64 (standard alphabet, "=" padding, no line breaks) for the SMTP authentication
// exchanges. Decoding is lenient: white space is skipped and no input is rejected.

#include <cstddef>
#include <vector>

namespace sentrel {

class CBase64Coder {
public:
    CBase64Coder() = default;
    virtual ~CBase64Coder() = default;
    CBase64Coder(const CBase64Coder&) = delete;
    CBase64Coder& operator=(const CBase64Coder&) = delete;

    // Encodes a zero-terminated text; a null pointer encodes nothing.
    virtual void EncodeText(const char* text);
    virtual void Encode(const unsigned char* data, std::size_t length);
    // Decodes a zero-terminated text; a null pointer decodes nothing.
    virtual void DecodeText(const char* text);
    virtual void Decode(const char* data, std::size_t length);

    // Results. Both buffers are zero-filled past their length, so they read as
    // zero-terminated strings; the pointers stay valid until the next operation.
    virtual const unsigned char* RawData() const;
    virtual const char* TextData() const;
    virtual std::size_t RawLength() const { return m_rawLength; }
    virtual std::size_t TextLength() const { return m_textLength; }

    std::size_t RawCapacity() const { return m_raw.size(); }
    std::size_t TextCapacity() const { return m_text.size(); }

protected:
    // Makes room for n bytes: a smaller buffer is replaced by one of the next multiple of
    // 4096 above n. Either way the buffer is zero-filled and its length set to 0.
    virtual void ReserveText(std::size_t n);
    virtual void ReserveRaw(std::size_t n);
    // Keeps the input without white space.
    virtual void LoadText(const char* data, std::size_t length);
    virtual void LoadRaw(const unsigned char* data, std::size_t length);
    // Up to 3 bytes (count given) to 4 characters, padding with "=".
    virtual void EncodeGroup(const unsigned char* group, std::size_t count, char* out) const;
    // 4 characters to 3 bytes; "=" in the last two places counts as 0.
    virtual void DecodeGroup(const char* group, unsigned char* out) const;
    virtual void SplitGroup(const unsigned char* bytes, unsigned char* values) const;
    virtual void JoinGroup(const unsigned char* values, unsigned char* bytes) const;
    virtual bool IsWhitespace(char c) const;

private:
    std::vector<unsigned char> m_raw;
    std::vector<char> m_text;
    std::size_t m_rawLength = 0;
    std::size_t m_textLength = 0;
};

} // namespace sentrel
