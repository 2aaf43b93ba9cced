#pragma once

#include <QString>

#include <stdexcept>

namespace gnugettext {

// The exceptions of the translation engine. They carry their text as a
// QString; what() gives it in UTF-8 for generic handlers.
class EGnuGettext : public std::runtime_error {
public:
    explicit EGnuGettext(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

// A catalog file cannot be opened or mapped, or is not a catalog.
class EGGIOError : public EGnuGettext {
    using EGnuGettext::EGnuGettext;
};

// The program used the engine the wrong way.
class EGGProgrammingError : public EGnuGettext {
    using EGnuGettext::EGnuGettext;
};

// A property of a form cannot be translated.
class EGGComponentError : public EGnuGettext {
    using EGnuGettext::EGnuGettext;
};

// A single-byte text cannot be converted from the design code page.
class EGGAnsi2WideConvError : public EGnuGettext {
    using EGnuGettext::EGnuGettext;
};

} // namespace gnugettext
