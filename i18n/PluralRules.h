#pragma once

#include <QString>

namespace gnugettext {

// A plural-form rule: the index of the form to use for a number.
using TPluralRule = int (*)(int number);

int OneForm(int number);
int TwoFormsOneSingular(int number);
int TwoFormsZeroOneSingular(int number);
int ThreeFormsLatvian(int number);
int ThreeFormsIrish(int number);
int ThreeFormsLithuanian(int number);
int ThreeFormsPolish(int number);
int ThreeFormsRussian(int number);
int FourFormsSlovenian(int number);

// The rule of a language, chosen by the first two letters of its code.
TPluralRule PluralRuleFor(const QString& languageCode);

} // namespace gnugettext
