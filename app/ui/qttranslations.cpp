#include "app/ui/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <clocale>

#include "app/messages.h"

namespace {

constexpr char kTimeVariable[] = "LC_TIME";
constexpr char kRussian[] = "ru_RU.UTF-8";

// The value that decides the time locale: LC_ALL beats LC_TIME beats LANG.
QByteArray TimeLocale() {
    for (const char* name : {"LC_ALL", kTimeVariable, "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty()) return value;
    }
    return QByteArray();
}

}  // namespace

bool InstallQtTranslations(QTranslator& translator, const QString& folder) {
    if (!translator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                         QStringLiteral("_"), folder))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QString MissingQtTexts::translate(const char* context, const char* sourceText, const char*,
                                  int) const {
    const char* text = usertext::MissingQtText(context, sourceText);
    return text == nullptr ? QString() : QString::fromUtf8(text);
}

bool InstallQtTranslations(QTranslator& translator) {
    return InstallQtTranslations(translator, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

RussianDialogDates::RussianDialogDates() {
    // LC_ALL, when set, is the user's word for every category; it is left alone.
    if (!qgetenv("LC_ALL").isEmpty() || TimeLocale().startsWith("ru")) return;
    had_ = qEnvironmentVariableIsSet(kTimeVariable);
    previous_ = qgetenv(kTimeVariable);
    changed_ = qputenv(kTimeVariable, kRussian);
}

void RussianDialogDates::Finish() {
    if (!changed_) return;
    changed_ = false;
    if (had_)
        qputenv(kTimeVariable, previous_);
    else
        qunsetenv(kTimeVariable);
    // The application object set the C library's locale from the environment it saw.
    std::setlocale(LC_ALL, "");
}

void UseRussianLocale() {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}
