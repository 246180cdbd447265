#ifndef ZELT_FX_H
#define ZELT_FX_H

#include <string>

#include "ZELTBuffer.h"

namespace ZELT {

/// Formatter interface: writes typed values as tagged elements into a
/// ZELTBuffer, one element per call, and reads them back in the same order.
///
/// Call setConvBuffer before the first element operation. Writers append one
/// element to @p out and return true; readers parse the element at @p in's
/// marker, store its value, move the marker past it and return true. On false
/// nothing was appended, and for readers neither the marker nor the
/// destination changed. Allocation failures in the buffer arrive as
/// std::bad_alloc.
class ZELT_API ZELTFx {
public:
    /// Allocates the conversion buffer, at least 65,536 bytes; @p buffer is not
    /// read. If the allocation fails the formatter keeps what it had.
    virtual void setConvBuffer(char* const& buffer, const long& size) = 0;
    /// Stores a flags word for the caller; no operation consults it.
    virtual void setFlags(const long& flags) = 0;
    virtual const long& getFlags() const = 0;

    /// Writes the opening tag, @p length raw bytes of @p data (NUL bytes
    /// included) and the closing text. @p nameSpec is "tag|Name|Idx"; the
    /// fourth argument is not read. False for a negative length, a null @p data
    /// with a positive length, or a name specification that does not fit.
    virtual bool serializeBuffer(const char*& data, const long& length, const char* nameSpec, const long& unused,
                                 ZELTBuffer& out) = 0;
    /// Writes <name>0</name> or <name>1</name> and a line feed.
    virtual bool serializeBool(const bool& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads an element written by serializeBool: true when its number is above 0.
    virtual bool deserializeBool(const char* name, ZELTBuffer& in, bool& value) = 0;
    /// Writes the value in decimal, sign-extended: -128 to 127.
    virtual bool serializeChar(const char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a number as strtol does and keeps its low 8 bits; see deserializeInt64_t.
    virtual bool deserializeChar(const char* name, ZELTBuffer& in, char& value) = 0;
    /// Writes the value in decimal, zero-extended: 0 to 255.
    virtual bool serializeUChar(const unsigned char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a number as strtol does (signed) and keeps its low 8 bits.
    virtual bool deserializeUChar(const char* name, ZELTBuffer& in, unsigned char& value) = 0;
    virtual bool serializeInt8_t(const signed char& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeInt8_t(const char* name, ZELTBuffer& in, signed char& value) = 0;
    /// Writes 0 to 255; reading uses strtoul and keeps the low 8 bits.
    virtual bool serializeUInt8_t(const unsigned char& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeUInt8_t(const char* name, ZELTBuffer& in, unsigned char& value) = 0;
    virtual bool serializeInt16_t(const short& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeInt16_t(const char* name, ZELTBuffer& in, short& value) = 0;
    virtual bool serializeUInt16_t(const unsigned short& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeUInt16_t(const char* name, ZELTBuffer& in, unsigned short& value) = 0;
    virtual bool serializeInt32_t(const int& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeInt32_t(const char* name, ZELTBuffer& in, int& value) = 0;
    virtual bool serializeUInt32_t(const unsigned int& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeUInt32_t(const char* name, ZELTBuffer& in, unsigned int& value) = 0;
    /// Writes <name>value</name> and a line feed, the value in decimal; @p name
    /// is the tag exactly as given. False only without a conversion buffer
    /// (or one that cannot grow for a very long name) or for a null name.
    virtual bool serializeInt64_t(const long& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads <name>value</name> and a line feed at the marker. The value is
    /// converted as strtol (signed rows) or strtoul (unsigned rows) with base
    /// 10 do: leading blanks and a sign accepted, no digits give 0, saturation
    /// at the 64-bit limits; then the low bits of the destination are kept.
    /// False when the unread text does not open with "<name>" or holds no
    /// "</name>" and line feed after it.
    virtual bool deserializeInt64_t(const char* name, ZELTBuffer& in, long& value) = 0;
    virtual bool serializeUInt64_t(const unsigned long& value, const char* name, ZELTBuffer& out) = 0;
    virtual bool deserializeUInt64_t(const char* name, ZELTBuffer& in, unsigned long& value) = 0;
    /// Writes @p value unchanged between the tags. @p nameSpec is "tag",
    /// "tag|Name" or "tag|Name|Idx" and adds the Name and Idx attributes. False
    /// when the specification does not fit (1,023 bytes in all; 255, 127 and
    /// 31 for its parts) or the conversion buffer cannot grow to hold the value.
    virtual bool serializeString(const char* value, const char* nameSpec, ZELTBuffer& out) = 0;
    /// Reads the text between "<name>" and the first "</name>" and line feed.
    virtual bool deserializeString(const char* name, ZELTBuffer& in, std::string& value) = 0;

    /// Destroys the formatter, releasing its conversion buffer.
    virtual ~ZELTFx();

    /// Stores a new formatter in @p out and returns 0; @p kind is not consulted.
    /// The caller owns the formatter and releases it with delete.
    static int instantiate(ZELTFx*& out, int kind);

protected:
    ZELTFx() = default;
    ZELTFx(const ZELTFx&) = default;
    ZELTFx& operator=(const ZELTFx&) = default;
};

} // namespace ZELT

#endif
