#pragma once
// Qt's own texts in Russian: the folder and save dialogs, their questions and the standard
// buttons of message boxes speak the window's language, and their dates and sizes follow the
// Russian locale whatever LANG says.
#include <QByteArray>
#include <QString>
#include <QTranslator>

// Loads Qt's Russian translations from Qt's translations folder (or the given folder) and
// installs them in the application; false (Qt's dialogs stay in English) when they are not there.
bool InstallQtTranslations(QTranslator& translator);
bool InstallQtTranslations(QTranslator& translator, const QString& folder);

// The few texts of Qt's dialogs that its Russian translations lack (the file dialog's type
// column: "Folder"), installed after them so that it is asked first; empty for every other text.
class MissingQtTexts : public QTranslator {
  public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }
};

// Qt takes the locale of the dates its dialogs show (a file's "Дата изменения") from the
// environment once, while the application object is made. Made before it and finished after it,
// this gives Qt the Russian one for that moment alone, then puts the environment and the C
// library's locale back as they were, so that nothing else (numbers, files) changes.
class RussianDialogDates {
  public:
    RussianDialogDates();
    void Finish();

  private:
    bool changed_ = false;
    bool had_ = false;
    QByteArray previous_;
};

// The default locale of Qt's widgets and dialogs: Russian.
void UseRussianLocale();
