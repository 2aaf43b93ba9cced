#pragma once

#include <QString>
#include <QTranslator>

// Qt's own texts (the standard buttons of message boxes, the file and print
// dialogs) in the program's language, from the translations Debian installs
// for Qt. English is Qt's own language; other languages have no catalog of
// ours, so they leave Qt's texts as they are.
class TQtTranslations {
public:
    TQtTranslations() = default;
    ~TQtTranslations();
    TQtTranslations(const TQtTranslations&) = delete;
    TQtTranslations& operator=(const TQtTranslations&) = delete;

    // Returns false when Qt's translations for the language are not installed.
    bool Select(const QString& code);
    QString Language() const { return FLanguage; }

private:
    void Remove();

    QTranslator FTranslator;
    bool FInstalled = false;
    QString FLanguage;
};
