#ifndef ZELT_FX_H
#define ZELT_FX_H

#include <string>

#include "ZELTBuffer.h"

namespace ZELT {

/// Formatter interface: writes typed values as tagged elements into a
/// ZELTBuffer, one element per call, and reads them back in the same order.
///
/// Call setConvBuffer before the first element operation; without it every
/// writer and reader returns false.
///
/// Scalar writers append `<name>value</name>` and a line feed, the value in
/// decimal and @p name exactly as given (any character but NUL, `|` included).
/// They return false, appending nothing, only for a null name or when a name
/// too long for the conversion buffer cannot have a larger one.
///
/// Readers parse the element at @p in's read marker: the unread text must open
/// with `<name>`, and the value ends at the first `</name>` and line feed.
/// Numbers are converted as strtol (signed readers, Bool, Char and UChar) or
/// strtoul (unsigned readers) do it with base 10 in the C locale (leading
/// blanks and a sign accepted, no digits give 0, values beyond 64 bits
/// saturate), and the destination keeps the low bits. On success the marker
/// moves just past the line feed. Otherwise the reader returns false and
/// leaves the marker and the destination as they were.
///
/// Allocation failures of the buffer arrive as std::bad_alloc, the buffer
/// unchanged.
class ZELT_API ZELTFx {
public:
    /// Allocates the conversion buffer of max(@p size, 65,536) bytes; @p buffer
    /// is not read. If the allocation fails the formatter keeps what it had.
    virtual void setConvBuffer(char* const& buffer, const long& size) = 0;
    /// Stores a flags word for the caller; no operation consults it.
    virtual void setFlags(const long& flags) = 0;
    /// The flags word last stored, 0 at first.
    virtual const long& getFlags() const = 0;

    /// Writes the opening tag, @p length raw bytes of @p data (NUL bytes
    /// included) and the closing text. @p nameSpec is as for serializeString;
    /// the fourth argument is not read. Returns false, appending nothing, for a
    /// negative length, a null @p data with a positive length, or a compound
    /// name that does not fit. scanBytes (ZELTScan.h) reads them back.
    virtual bool serializeBuffer(const char*& data, const long& length, const char* nameSpec, const long& unused,
                                 ZELTBuffer& out) = 0;
    /// Writes `<name>1</name>` for true, `<name>0</name>` for false.
    virtual bool serializeBool(const bool& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads true when the element's number is greater than 0.
    virtual bool deserializeBool(const char* name, ZELTBuffer& in, bool& value) = 0;
    /// Writes -128 to 127.
    virtual bool serializeChar(const char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, keeping its low 8 bits.
    virtual bool deserializeChar(const char* name, ZELTBuffer& in, char& value) = 0;
    /// Writes 0 to 255.
    virtual bool serializeUChar(const unsigned char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, keeping its low 8 bits.
    virtual bool deserializeUChar(const char* name, ZELTBuffer& in, unsigned char& value) = 0;
    /// Writes -128 to 127.
    virtual bool serializeInt8_t(const signed char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, keeping its low 8 bits.
    virtual bool deserializeInt8_t(const char* name, ZELTBuffer& in, signed char& value) = 0;
    /// Writes 0 to 255, the same text as serializeUChar.
    virtual bool serializeUInt8_t(const unsigned char& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads an unsigned number, keeping its low 8 bits (300 reads as 44).
    virtual bool deserializeUInt8_t(const char* name, ZELTBuffer& in, unsigned char& value) = 0;
    /// Writes a 16-bit signed value.
    virtual bool serializeInt16_t(const short& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, keeping its low 16 bits.
    virtual bool deserializeInt16_t(const char* name, ZELTBuffer& in, short& value) = 0;
    /// Writes a 16-bit unsigned value.
    virtual bool serializeUInt16_t(const unsigned short& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads an unsigned number, keeping its low 16 bits.
    virtual bool deserializeUInt16_t(const char* name, ZELTBuffer& in, unsigned short& value) = 0;
    /// Writes a 32-bit signed value.
    virtual bool serializeInt32_t(const int& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, keeping its low 32 bits.
    virtual bool deserializeInt32_t(const char* name, ZELTBuffer& in, int& value) = 0;
    /// Writes a 32-bit unsigned value.
    virtual bool serializeUInt32_t(const unsigned int& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads an unsigned number, keeping its low 32 bits (-1 reads as 4294967295).
    virtual bool deserializeUInt32_t(const char* name, ZELTBuffer& in, unsigned int& value) = 0;
    /// Writes a 64-bit signed value.
    virtual bool serializeInt64_t(const long& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads a signed number, saturated to the 64-bit range.
    virtual bool deserializeInt64_t(const char* name, ZELTBuffer& in, long& value) = 0;
    /// Writes a 64-bit unsigned value.
    virtual bool serializeUInt64_t(const unsigned long& value, const char* name, ZELTBuffer& out) = 0;
    /// Reads an unsigned number; a negative one within range wraps modulo 2^64.
    virtual bool deserializeUInt64_t(const char* name, ZELTBuffer& in, unsigned long& value) = 0;
    /// Writes @p value unchanged (no escaping) between the tags. @p nameSpec is
    /// `tag`, `tag|Name` or `tag|Name|Idx` and adds the Name and Idx
    /// attributes; empty parts are skipped and an Idx needs a Name. Returns
    /// false, appending nothing, when the compound name does not fit (1,023
    /// bytes in all, separators included; 255, 127 and 31 for its parts), when
    /// the value holds its own closing text (`</tag>` and a line feed, which
    /// would end the element early and be read as further elements), or when
    /// the conversion buffer cannot grow to hold the value.
    virtual bool serializeString(const char* value, const char* nameSpec, ZELTBuffer& out) = 0;
    /// Reads the bytes between `<name>` and the first `</name>` and line feed;
    /// an element written with attributes is refused.
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
