#ifndef ZELT_TOOL_CONVERT_H
#define ZELT_TOOL_CONVERT_H

#include "ZELTScan.h"
#include "commands.h"
#include "output.h"

namespace zelt_tool {

/// Writes the elements of a text in an output format.
class ElementWriter {
public:
    virtual ~ElementWriter() = default;
    /// Before the first element.
    virtual void begin(Output& /*out*/) {}
    /// Whether element() needs the line numbers, which cost a count of the
    /// line feeds before each element.
    virtual bool numbersLines() const { return true; }
    /// One element, which begins on line @p line of the text (from 1, or 0
    /// when numbersLines() is false); its offset is counted in the whole text.
    virtual void element(Output& out, const ZELT::ZELTElement& element, long line) = 0;
    /// After the last element read, also when reading stopped at one that
    /// cannot be read.
    virtual void end(Output& /*out*/) {}
};

/// Reads @p path ("-": standard input) a window at a time and writes its
/// elements with @p writer to standard output. At an element that cannot be
/// read it reports the element as check does, ends the output and returns
/// badText. A file that cannot be read or output that cannot be written is reported as
/// `zelt: ...` and gives failure; output that nobody reads any more (EPIPE)
/// ends the work quietly.
Status convert(const char* path, ElementWriter& writer);

} // namespace zelt_tool

#endif
