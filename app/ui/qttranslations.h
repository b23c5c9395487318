#pragma once
// Qt's own texts in Russian: the folder and save dialogs, their questions and the standard
// buttons of message boxes speak the window's language.
#include <QTranslator>

// Loads Qt's Russian translations from Qt's translations folder and installs them in the
// application; false (Qt's dialogs stay in English) when they are not installed.
bool InstallQtTranslations(QTranslator& translator);
