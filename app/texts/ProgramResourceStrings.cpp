#include "app/texts/ProgramResourceStrings.h"

namespace {

constexpr gnugettext::TResourceStringEntry ProgramTable[] = {
    {SUnbenannt.Module, SUnbenannt.Identifier, "Unbenannt"},
};

} // namespace

gnugettext::TResourceTable ProgramResourceStrings() {
    return ProgramTable;
}
