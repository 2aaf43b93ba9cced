#include "i18n/ProgramResourceStrings.h"

namespace gnugettext {

namespace {

constexpr TResourceStringEntry ProgramTable[] = {
    {SUnbenannt.Module, SUnbenannt.Identifier, "Unbenannt"},
};

} // namespace

TResourceTable ProgramResourceStrings() {
    return ProgramTable;
}

} // namespace gnugettext
