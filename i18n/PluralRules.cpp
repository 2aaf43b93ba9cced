#include "i18n/PluralRules.h"

namespace gnugettext {

namespace {

// The absolute value, also for the most negative number.
unsigned Magnitude(int number) {
    return number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
}

bool OutsideTeens(unsigned n) {
    return n % 100 < 10 || n % 100 >= 20;
}

bool TwoToFour(unsigned n) {
    return n % 10 >= 2 && n % 10 <= 4;
}

} // namespace

int OneForm(int) {
    return 0;
}

int TwoFormsOneSingular(int number) {
    return Magnitude(number) == 1 ? 0 : 1;
}

int TwoFormsZeroOneSingular(int number) {
    return Magnitude(number) <= 1 ? 0 : 1;
}

int ThreeFormsLatvian(int number) {
    const unsigned n = Magnitude(number);
    if (n % 10 == 1 && n % 100 != 11)
        return 0;
    return n != 0 ? 1 : 2;
}

int ThreeFormsIrish(int number) {
    const unsigned n = Magnitude(number);
    return n == 1 ? 0 : (n == 2 ? 1 : 2);
}

int ThreeFormsLithuanian(int number) {
    const unsigned n = Magnitude(number);
    if (n % 10 == 1 && n % 100 != 11)
        return 0;
    return n % 10 >= 2 && OutsideTeens(n) ? 1 : 2;
}

int ThreeFormsPolish(int number) {
    const unsigned n = Magnitude(number);
    if (n % 10 == 1)
        return 0;
    return TwoToFour(n) && OutsideTeens(n) ? 1 : 2;
}

int ThreeFormsRussian(int number) {
    const unsigned n = Magnitude(number);
    if (n % 10 == 1 && n % 100 != 11)
        return 0;
    return TwoToFour(n) && OutsideTeens(n) ? 1 : 2;
}

int FourFormsSlovenian(int number) {
    const unsigned n = Magnitude(number) % 100;
    if (n == 1)
        return 0;
    if (n == 2)
        return 1;
    return n == 3 || n == 4 ? 2 : 3;
}

TPluralRule PluralRuleFor(const QString& languageCode) {
    const QString code = languageCode.left(2).toLower();
    const auto is = [&code](std::initializer_list<const char*> codes) {
        for (const char* c : codes)
            if (code == QLatin1String(c))
                return true;
        return false;
    };
    if (is({"en", "de"}))
        return TwoFormsOneSingular;
    if (is({"hu", "ko", "zh", "ja", "tr"}))
        return OneForm;
    if (is({"fr", "fa"}) || languageCode.toLower() == QLatin1String("pt_br"))
        return TwoFormsZeroOneSingular;
    if (is({"lv"}))
        return ThreeFormsLatvian;
    if (is({"ga"}))
        return ThreeFormsIrish;
    if (is({"lt"}))
        return ThreeFormsLithuanian;
    if (is({"ru", "cs", "sk", "uk", "hr"}))
        return ThreeFormsRussian;
    if (is({"pl"}))
        return ThreeFormsPolish;
    if (is({"sl"}))
        return FourFormsSlovenian;
    return TwoFormsOneSingular;
}

} // namespace gnugettext
