// The header clean-up of the Netfox parser (formatHeaders): the scanner's
// form must equal the pattern-based reference's for any header text, and for
// the cleaned-up text fed back in.

#include "fuzzsupport.h"

#include "network/netfoxparser.h"
#include "netfoxreferenceparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString reference = NetfoxReference::formatHeaders(text);
    const QString scanner = Netfox::formatHeaders(text);
    if (scanner != reference)
        fuzz::fail("formatHeaders == reference", reference, scanner);
    // Cleaning up a cleaned-up text: both still agree.
    const QString again = Netfox::formatHeaders(scanner);
    const QString againReference = NetfoxReference::formatHeaders(reference);
    if (again != againReference)
        fuzz::fail("formatHeaders == reference on its own output", againReference, again);
    return 0;
}
