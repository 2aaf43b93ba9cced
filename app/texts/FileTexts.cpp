#include "app/texts/FileTexts.h"

#include "app/texts/Texts.h"

namespace {

using platform::TFileReason;
using platform::TFileStep;

} // namespace

QString WithName(const char* germanId, const QString& name) {
    return Translated(germanId).replace(QStringLiteral("%s"), name);
}

QString FileReasonText(const platform::TFileError& error) {
    switch (error.Reason) {
    case TFileReason::None:
        return {};
    case TFileReason::DiskFull:
        return Translated("Der Datenträger ist voll.");
    case TFileReason::Denied:
        return Translated("Keine Berechtigung.");
    case TFileReason::ReadOnly:
        return Translated("Der Datenträger ist schreibgeschützt.");
    case TFileReason::NoFolder:
        return Translated("Der Ordner ist nicht vorhanden.");
    case TFileReason::NotFound:
        return Translated("Die Datei ist nicht vorhanden.");
    case TFileReason::IsFolder:
        return Translated("Das Ziel ist ein Ordner.");
    case TFileReason::IsPipe:
        return Translated("Das Ziel ist eine benannte Pipe.");
    case TFileReason::IsDevice:
        return Translated("Das Ziel ist ein Gerät.");
    case TFileReason::IsSocket:
        return Translated("Das Ziel ist ein Socket.");
    case TFileReason::LinkLoop:
        return Translated("Die symbolischen Verweise bilden eine Schleife.");
    case TFileReason::NameTooLong:
        return Translated("Der Name ist zu lang.");
    case TFileReason::TooLarge:
        return Translated("Die Datei ist zu groß.");
    case TFileReason::InputOutput:
        return Translated("Ein-/Ausgabefehler des Datenträgers.");
    case TFileReason::Other:
        break;
    }
    return Translated("Systemfehler %1.").arg(error.Errno);
}

QString WriteFailureText(const QString& path, const platform::TFileError& error) {
    const QString message = WithName("In %s kann nicht geschrieben werden", path);
    // Saving never writes in place: without a new file there is no save.
    if (error.Step == TFileStep::Temporary &&
        (error.Reason == TFileReason::Denied || error.Reason == TFileReason::ReadOnly))
        return message + u'\n' + FileReasonText(error) + u'\n' +
               Translated("Sicheres Speichern legt eine neue Datei im Ordner an, was der Ordner "
                          "nicht erlaubt. Bitte einen anderen Ort wählen.");
    return message + u'\n' + FileReasonText(error);
}

QString ReadFailureText(const QString& name, const platform::TFileError& error) {
    switch (error.Reason) {
    case TFileReason::NotFound:
        return WithName("Die Datei %s ist nicht vorhanden !", name);
    case TFileReason::IsFolder:
        return WithName("%s ist ein Ordner !", name);
    case TFileReason::IsPipe:
        return WithName("%s ist eine benannte Pipe, keine Datei !", name);
    case TFileReason::IsDevice:
        return WithName("%s ist ein Gerät, keine Datei !", name);
    case TFileReason::IsSocket:
        return WithName("%s ist ein Socket, keine Datei !", name);
    case TFileReason::LinkLoop:
        return WithName("Die symbolischen Verweise von %s bilden eine Schleife !", name);
    default:
        return WithName("Die Datei %s kann nicht gelesen werden", name) + u'\n' +
               FileReasonText(error);
    }
}
