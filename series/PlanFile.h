#pragma once

#include "Inspection.h"
#include "LimitText.h"

#include "platform/Files.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace series {

// A plan file: UTF-8 in the settings file's form, so that a colleague can
// read and edit it, with the names quoted and escaped as the settings file
// keeps labels, so that a name with any character survives:
//
//   [Plan]
//   Version=1
//   [Characteristic1]
//   Name="Dia"
//   Unit=mm
//   Lower=9.98
//   Upper=10.02
//
// and so on, numbered from 1. Unit is empty where the plan fixes none. A
// limit is a number in the characteristic's unit, or followed by a unit of
// its own ("0.393 in"); the limits take the unit of the first one that names
// one. Keys and sections this version does not know are passed over.

inline constexpr int kPlanFileVersion = 1;
// Far more than any plan: a file beyond it is no plan.
inline constexpr qint64 kMaxPlanFileSize = 1 << 20;

// Why a plan file is refused; the plan in use then stays.
enum class TPlanFileProblem : quint8 {
    None,
    File,              // it could not be read (see File; TooLarge beyond the size above)
    NotAPlan,          // no [Plan] section with a version: some other file
    NewerVersion,      // written by a later version of the program
    NoCharacteristics, // not one characteristic
    MissingSection,    // [Characteristic<Number>] is missing, while one after it is there
    NoName,            // [Characteristic<Number>] has no name
    DuplicateName,     // a second characteristic with Name
    UnknownUnit,       // Name's Unit is none this program knows
};

// Limits of a characteristic that cannot be used, and why; what can be
// used is used, as with limits typed in.
struct TPlanLimitProblem {
    QString Name;
    TLimitProblem Lower = TLimitProblem::None;
    TLimitProblem Upper = TLimitProblem::None;
    bool operator==(const TPlanLimitProblem&) const = default;
};

struct TPlanFileRead {
    TPlanFileProblem Problem = TPlanFileProblem::None;
    platform::TFileError File;
    int Number = 0; // the section's, for MissingSection and NoName
    QString Name;   // the characteristic's, for DuplicateName and UnknownUnit
    TPlan Plan;     // empty when refused
    std::vector<TPlanLimitProblem> LimitProblems;
};

TPlanFileRead ParsePlanFile(const QByteArray& bytes);
// Reads a regular file of at most kMaxPlanFileSize bytes.
TPlanFileRead ReadPlanFile(const QString& path);

QByteArray PlanFileBytes(const TPlan& plan);
// Replaces the file whole (platform::ReplaceFile), or leaves it as it was.
platform::TFileError WritePlanFile(const QString& path, const TPlan& plan);

} // namespace series
