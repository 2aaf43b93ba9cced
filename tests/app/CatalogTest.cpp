// The catalogs the built program carries: read back from the executable's
// appended table (not from files on disk), every row of the three languages.
#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"
#include "tests/app/FakeDialogs.h"
#include "tools/AppendedTable.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct TRow {
    const char* German;
    const char* English;
    const char* French;
};

// German message id (translated into itself), English, French.
const TRow kRows[] = {
    {"Alles markieren", "Select all", "Sélectionner tout"},
    {"Anzeige löschen", "Clear screen", "Effacer l'écran"},
    {"Anzeige wirklich löschen ?", "Do you really want to delete reading ?",
     "Voulez-vous vraiment effacer l’affichage ?"},
    {"Ausschneiden", "Cut", "Couper"},
    {"Bearbeiten", "Edit", "Edition"},
    {"Beenden", "Exit", "Quitter"},
    {"Datei", "File", "Fichier"},
    {"Deutsch", "German", "Allemand"},
    {"Die Datei %s ist nicht vorhanden !", "File %s non existing !", "Fichier %s inexistant !"},
    {"Drucken", "Print", "Imprimer"},
    {"Drucker einstellen", "Printer configuration...", "Configurer l'imprimante"},
    {"Einfügen", "Paste", "Coller"},
    {"Englisch", "English", "Anglais"},
    {"Französisch", "French", "Français"},
    {"Gerät", "Instrument", "Instrument"},
    {"Getrennt", "Disconnected", "Déconnecté"},
    {"Hilfe", "Help", "Aide"},
    {"Hilfe zu Brisquell", "Brisquell Help", "Aide Brisquell"},
    {"Info", "Info", "Info"},
    {"Infrarot", "Infrared", "Infrarouge"},
    {"Keine Schnittstelle frei / vorhanden !!!",
     "All data ports occupied / no data port available !!!",
     "Pas de port libre / port non disponibles !!!"},
    {"Kontakt", "Contact", "Contacte"},
    {"Kopieren", "Copy", "Copier"},
    {"Manuell", "Manual", "Manuellement"},
    {"Velmarod (K10...K70)", "Velmarod (K10...K70)", "Velmarod (K10...K70)"},
    {"Velmarod (K101...K410)", "Velmarod (K101...K410)", "Velmarod (K101...K410)"},
    {"Velmarod K7 / K7X (Infrarot)", "Velmarod K7 / K7X (Infrared)",
     "Velmarod K7 / K7X (infrarouge)"},
    {"Velmarod K7X (Kabel)", "Velmarod K7X (Cable)", "Velmarod K7X (Cable)"},
    {"Velmarod PX (K200...K410)", "Velmarod PX (K200...K410)", "Velmarod PX (K200...K410)"},
    {"Neu", "New", "Nouveau"},
    // the series panel and its export
    {"Ansicht", "View", "Affichage"},
    {"Messreihe", "Measurement series", "Série de mesures"},
    {"Letzter Wert", "Newest value", "Dernière valeur"},
    {"Gruppe", "Group", "Groupe"},
    {"Anzahl", "Count", "Nombre"},
    {"Spannweite", "Range", "Étendue"},
    {"Mittelwert", "Mean", "Moyenne"},
    {"Standardabweichung", "Standard deviation", "Écart type"},
    {"Untere Grenze", "Lower limit", "Limite inférieure"},
    {"Obere Grenze", "Upper limit", "Limite supérieure"},
    {"Neue Reihe", "New series", "Nouvelle série"},
    {"Letzten Wert löschen", "Delete last value", "Supprimer la dernière valeur"},
    {"Exportieren...", "Export...", "Exporter..."},
    {"Verlauf", "Run chart", "Graphique de suivi"},
    {"(ohne Bezeichnung)", "(no label)", "(sans libellé)"},
    {"%1 Messwerte ohne passende Einheit sind nicht in den Kennzahlen.",
     "%1 readings without a matching unit are not in the figures.",
     "%1 mesures sans unité compatible ne sont pas dans les indicateurs."},
    {"%1 Messwerte, letzter Wert %2, Mittelwert %3, %4 außerhalb der Grenzen",
     "%1 readings, newest value %2, mean %3, %4 outside the limits",
     "%1 mesures, dernière valeur %2, moyenne %3, %4 hors des limites"},
    {"CSV (*.csv)|*.csv|Alle Dateien (*.*)|*.*", "CSV (*.csv)|*.csv|All files (*.*)|*.*",
     "CSV (*.csv)|*.csv|Tous les fichiers (*.*)|*.*"},
    {"Nr.", "No.", "N°"},
    {"Zeit", "Time", "Heure"},
    {"Wert", "Value", "Valeur"},
    {"Einheit", "Unit", "Unité"},
    {"Bezeichnung", "Label", "Libellé"},
    {"Bewertung", "Verdict", "Verdict"},
    {"unterhalb", "below", "inférieur"},
    {"innerhalb", "within", "conforme"},
    {"oberhalb", "above", "supérieur"},
    // typing into other programs
    {"Extras", "Tools", "Outils"},
    {"In aktives Fenster tippen", "Type into the active window", "Saisir dans la fenêtre active"},
    {"Nach dem Wert", "After the value", "Après la valeur"},
    {"Eingabetaste", "Enter", "Entrée"},
    {"Tabulator", "Tab", "Tabulation"},
    {"Nichts", "Nothing", "Rien"},
    {"Was", "What", "Quoi"},
    {"Ganze Zeile", "Whole line", "Ligne entière"},
    {"Nur Zahlenwert", "Value only", "Valeur numérique seule"},
    {"Tippen aus: mehr als %1 Messwerte warteten", "Typing off: more than %1 readings were waiting",
     "Saisie arrêtée : plus de %1 valeurs en attente"},
    {"Nicht getippt: Die Tastaturbelegung hat kein „%1“",
     "Not typed: the keyboard layout has no “%1”",
     "Non saisie : la disposition du clavier n'a pas de « %1 »"},
    {"OK", "OK", "OK"},
    {"Rückgängig", "Undo", "Annuler"},
    {"Schnittstelle", "Port", "Port"},
    {"Speichern", "Save", "Enregistrer"},
    {"Speichern unter...", "Save as...", "Enregistrer sous..."},
    {"Sprache", "Language", "Langage"},
    {"Quintarion (Q40, Q41)", "Quintarion (Q40, Q41)", "Quintarion (Q40, Q41)"},
    {"Suche Gerät...", "Searching for instrument...", "Rechercher instrument..."},
    {"Trennen", "Disconnecting", "Déconnecter"},
    {"Unbenannt", "Unnamed", "Sans nom"},
    {"Verbinden", "Connecting", "Connecter"},
    {"Verbunden...", "Connected...", "Connecté..."},
    {"Version 1.10", "Version 1.10", "Version 1.10"},
    {"Warte...", "Wait...", "Warte..."},
    {"Zelvar (Infrarotadapter an COM)", "Zelvar (Infraredadapter at COM)",
     "Zelvar (infrarouge COM)"},
    {"Zelvar (Kabel)", "Zelvar (Cable)", "Zelvar (cable)"},
    {"Änderung in %s speichern ?", "Save changes in %s ?", "Enregistrer les modifications en %s ?"},
    {"Öffnen", "Open", "Ouvrir"},
    {"Überschreiben %s ?", "Overwrite %s ?", "Surécrire %s ?"},
    {"Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*", "Text (*.TXT)|*.TXT|All Files (*.*)|*.*",
     "Text (*.TXT)|*.TXT|Alle Dateien (*.*)|*.*"},
    {"Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*", "Text (*:TXT)|*.TXT|All Files (*.*)|*.*",
     "Text (*:TXT)|*.TXT|Alle Dateien (*.*)|*.*"},
};

class CatalogTest : public ::testing::Test {
protected:
    CatalogTest() : Locator(Executable()) {
        Locator.ScanTable(TableOffset());
        Engine = std::make_unique<gnugettext::TGnuGettextInstance>(Locator);
        Engine->SetDialogs(&Dialogs);
    }
    // The built program, or the one BRISQUELL_EXECUTABLE names (an installed,
    // stripped copy).
    static QString Executable() {
        const QString named = qEnvironmentVariable("BRISQUELL_EXECUTABLE");
        return named.isEmpty() ? QStringLiteral(BRISQUELL_EXECUTABLE) : named;
    }
    // Where the executable's table starts, as the program reads it from its
    // own read-only data: the 8 bytes after the signature.
    static std::int64_t TableOffset() {
        QFile file(Executable());
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray bytes = file.readAll();
        const std::string image(bytes.constData(), static_cast<size_t>(bytes.size()));
        const std::vector<size_t> found = appended_table::FindSignature(image);
        if (found.size() != 1)
            return 0;
        std::int64_t offset = 0;
        for (int i = 7; i >= 0; --i)
            offset =
                (offset << 8) |
                static_cast<unsigned char>(
                    image[found[0] + appended_table::Signature().size() + static_cast<size_t>(i)]);
        return offset;
    }
    std::string In(const char* language, const char* id) {
        Engine->SelectLanguage(QString::fromLatin1(language));
        return Engine->Translate(QString::fromUtf8(id)).toStdString();
    }

    TFakeDialogs Dialogs;
    gnugettext::TFileLocator Locator;
    std::unique_ptr<gnugettext::TGnuGettextInstance> Engine;
};

TEST_F(CatalogTest, ProgramCarriesItsFiveFiles) {
    QStringList names = Locator.EmbeddedFileNames();
    names.sort();
    EXPECT_EQ(names, QStringList({
                         "default.mo",
                         "locale/de/LC_MESSAGES/default.mo",
                         "locale/en/LC_MESSAGES/default.mo",
                         "locale/fr/LC_MESSAGES/default.mo",
                         "locale/gettext-0.18.1.1.tar/gettext-0.18.1.1/gettext-0.18.1.1/"
                         "gettext-tools/tests/test.mo",
                     }));
}

TEST_F(CatalogTest, EveryRowInEveryLanguage) {
    for (const TRow& row : kRows) {
        EXPECT_EQ(In("de", row.German), row.German);
        EXPECT_EQ(In("en", row.German), row.English);
        EXPECT_EQ(In("fr", row.German), row.French);
        // Regional variants reach the same catalogs.
        EXPECT_EQ(In("fr_FR", row.German), row.French);
    }
    EXPECT_TRUE(Dialogs.Messages.isEmpty()) << "every catalog passes the character-set check";
}

TEST_F(CatalogTest, HeadersAndTheMakersEntries) {
    // The engine hands texts out with CR LF line ends.
    const QString header = QString::fromStdString(In("fr", "")).remove(QLatin1Char('\r'));
    EXPECT_TRUE(header.startsWith("Project-Id-Version: Brisquell\nPOT-Creation-Date: 2005-12-22 "
                                  "20:24\nPO-Revision-Date: 2005-12-22 20:55+0100\n"))
        << header.toStdString();
    EXPECT_TRUE(header.contains("\nLanguage-Team: \nX-Poedit-Language: French"));
    // Only the slogan has its own wording; the rest of the maker's block stays.
    EXPECT_EQ(In("en", "Am Prüffeld 12"), "Am Prüffeld 12");
    EXPECT_NE(In("en", "Messen, was zählt."), "Messen, was zählt.");
    EXPECT_NE(In("fr", "Messen, was zählt."), In("en", "Messen, was zählt."));
    // The status panels' roles follow the language for screen readers.
    EXPECT_EQ(In("en", "Verbindungszustand"), "Connection state");
    EXPECT_EQ(In("fr", "Baudrate"), "Débit en bauds");
}

} // namespace
