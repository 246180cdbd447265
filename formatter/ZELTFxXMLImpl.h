#ifndef ZELT_FX_XML_IMPL_H
#define ZELT_FX_XML_IMPL_H

#include <string_view>

#include "ZELTFx.h"

namespace ZELT {

/// The tagged-text formatter: elements such as `<count>42</count>` and a line
/// feed, back to back, with no root, nesting or escaping. Every element text
/// is composed in the formatter's own conversion buffer, then handed to the
/// output buffer in one appendString call (a raw block adds its bytes through
/// appendBufferString and its closing text through a second appendString).
class ZELT_API ZELTFxXMLImpl : public ZELTFx {
public:
    /// Creates a formatter without a conversion buffer.
    ZELTFxXMLImpl();
    /// Creates a formatter without a conversion buffer: nothing is taken from @p other.
    ZELTFxXMLImpl(const ZELTFxXMLImpl& other);
    /// Releases the conversion buffer and clears names and flags; nothing is
    /// taken from @p other. Call setConvBuffer again before the next element.
    ZELTFxXMLImpl& operator=(const ZELTFxXMLImpl& other);

    void setConvBuffer(char* const& buffer, const long& size) override;
    void setFlags(const long& flags) override;
    const long& getFlags() const override;

    bool serializeBuffer(const char*& data, const long& length, const char* nameSpec, const long& unused,
                         ZELTBuffer& out) override;
    bool serializeBool(const bool& value, const char* name, ZELTBuffer& out) override;
    bool deserializeBool(const char* name, ZELTBuffer& in, bool& value) override;
    bool serializeChar(const char& value, const char* name, ZELTBuffer& out) override;
    bool deserializeChar(const char* name, ZELTBuffer& in, char& value) override;
    bool serializeUChar(const unsigned char& value, const char* name, ZELTBuffer& out) override;
    bool deserializeUChar(const char* name, ZELTBuffer& in, unsigned char& value) override;
    bool serializeInt8_t(const signed char& value, const char* name, ZELTBuffer& out) override;
    bool deserializeInt8_t(const char* name, ZELTBuffer& in, signed char& value) override;
    bool serializeUInt8_t(const unsigned char& value, const char* name, ZELTBuffer& out) override;
    bool deserializeUInt8_t(const char* name, ZELTBuffer& in, unsigned char& value) override;
    bool serializeInt16_t(const short& value, const char* name, ZELTBuffer& out) override;
    bool deserializeInt16_t(const char* name, ZELTBuffer& in, short& value) override;
    bool serializeUInt16_t(const unsigned short& value, const char* name, ZELTBuffer& out) override;
    bool deserializeUInt16_t(const char* name, ZELTBuffer& in, unsigned short& value) override;
    bool serializeInt32_t(const int& value, const char* name, ZELTBuffer& out) override;
    bool deserializeInt32_t(const char* name, ZELTBuffer& in, int& value) override;
    bool serializeUInt32_t(const unsigned int& value, const char* name, ZELTBuffer& out) override;
    bool deserializeUInt32_t(const char* name, ZELTBuffer& in, unsigned int& value) override;
    bool serializeInt64_t(const long& value, const char* name, ZELTBuffer& out) override;
    bool deserializeInt64_t(const char* name, ZELTBuffer& in, long& value) override;
    bool serializeUInt64_t(const unsigned long& value, const char* name, ZELTBuffer& out) override;
    bool deserializeUInt64_t(const char* name, ZELTBuffer& in, unsigned long& value) override;
    bool serializeString(const char* value, const char* nameSpec, ZELTBuffer& out) override;
    bool deserializeString(const char* name, ZELTBuffer& in, std::string& value) override;

    /// Releases the conversion buffer.
    ~ZELTFxXMLImpl() override;

    /// Splits "tag|Name|Idx" into the three name fields as strtok would with
    /// "|": empty parts are skipped, parts after the third ignored. A
    /// compound name over 1,023 bytes, or a part longer than 255 (tag), 127
    /// (Name) or 31 (Idx) bytes, leaves all three empty.
    void checkAndGetAttrIdxDetails(const char* nameSpec);
    /// Empties the three name fields.
    void resetNames();

private:
    // Splits like checkAndGetAttrIdxDetails and views the three fields in
    // @p parts; false when the compound name does not fit.
    bool splitNames(const char* nameSpec, std::string_view (&parts)[3]);
    // Replaces the conversion buffer, which exists but is too small for @p size
    // bytes, by one of that size; false when a larger one cannot be had (the
    // old one then stays).
    bool reserveConvBuffer(long size);
    // Composes @p text and its NUL in the conversion buffer, which first grows
    // to hold them and to at least @p room bytes. Returns the text's length,
    // or -1 when the conversion buffer cannot hold it.
    template <typename Text>
    long composeText(const Text& text, long room = 0);
    // Appends @p text to @p out as composeText and one append would, with
    // the same room made in the conversion buffer; false when it cannot be.
    template <typename Text>
    bool appendElement(const Text& text, long room, ZELTBuffer& out);
    // Whether the conversion buffer holds, or can grow to hold, @p size bytes.
    bool convBufferHolds(long size);
    // @p value is the writer's value promoted (+value): int, unsigned, long or
    // unsigned long, so that every type's digits come from to_chars at its width.
    template <typename Number>
    bool writeNumber(Number value, const char* name, ZELTBuffer& out);
    template <typename Wide, typename Value>
    bool readNumber(const char* name, ZELTBuffer& in, Value& value);
    // Finds the element <name>...</name> and line feed at the marker, hands the
    // value to @p rule and moves the marker past the element.
    template <typename ValueRule>
    bool readElement(const char* name, ZELTBuffer& in, ValueRule& rule);

    char tagName[256];
    char attrName[128];
    char attrIdx[32];
    char* convBuffer;
    long convBufferSize;
    long flags;
};

} // namespace ZELT

#endif
