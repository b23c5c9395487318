#pragma once
// The border between the core's Windows-1251 text and Qt's widgets. Header-only, for the Qt code
// (the window and the dialogs); the core never includes it.
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "base/cp1251.h"

inline QString FromCp1251(const Cp1251String& text) {
    return QString::fromStdString(cp1251::ToUtf8(text));
}

inline QString FromUtf8String(const Utf8String& text) {
    return QString::fromStdString(text.str());
}

inline Cp1251String ToCp1251(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return cp1251::FromUtf8(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}
