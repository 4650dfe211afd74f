#include "protocol/padded_name.h"

namespace Protocol {

AnsiString PaddedName(std::string_view name)
{
    AnsiString padded(name.substr(0, PaddedNameLength));
    padded.resize(PaddedNameLength, ' ');
    return padded;
}

}  // namespace Protocol
