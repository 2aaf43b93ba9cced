// Arbitrary bytes as a plan file: a plan that is accepted has names, none
// twice; written again it reads back as the same plan without a problem;
// its names come back through the plan's field; in use, the inspection gives
// it back with its limits from the store.
#include "fuzz/FuzzSupport.h"

#include "series/PlanFile.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const series::TPlanFileRead read = series::ParsePlanFile(bytes);
    if (read.Problem != series::TPlanFileProblem::None) {
        fuzzing::Require(read.Plan.empty() && read.LimitProblems.empty(),
                         "a refused file gives no plan");
        return 0;
    }
    fuzzing::Require(!read.Plan.empty(), "an accepted plan has characteristics");
    std::vector<QString> names;
    QSet<QString> seen;
    for (const series::TPlannedCharacteristic& planned : read.Plan) {
        const QString& name = planned.Characteristic.Name;
        fuzzing::Require(!name.isEmpty() && !seen.contains(name), "names are there, once each");
        seen.insert(name);
        names.push_back(name);
        fuzzing::Require(planned.Limits.IsEmpty() || planned.Limits.Active(),
                         "limits read are usable");
    }

    const series::TPlanFileRead again = series::ParsePlanFile(series::PlanFileBytes(read.Plan));
    fuzzing::Require(again.Problem == series::TPlanFileProblem::None, "a written plan is read");
    fuzzing::Require(again.LimitProblems.empty(), "a written plan's limits are usable");
    fuzzing::Require(again.Plan == read.Plan, "a written plan reads back the same");
    fuzzing::Require(series::ParseCharacteristicNames(series::CharacteristicNamesText(names)) ==
                         names,
                     "the names come back through the field");

    series::TSeries readings;
    series::TInspection inspection(readings);
    inspection.UsePlan(read.Plan);
    fuzzing::Require(inspection.Plan() == read.Plan, "the plan in use is the plan read");
    return 0;
}
