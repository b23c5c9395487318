#pragma once
// A text that holds a path, shortened to a width so that what matters stays: the file's name and
// its folder at the end, the text's start before the path; the middle gives way ("…").
#include <QString>

class QFontMetrics;

// text as it fits width: whole when it fits; else, when it names a path (a '/' or '\'), its start
// cut at the right, "…", and its part from the file's folder on; else cut at the right.
QString ElidePathText(const QString& text, const QFontMetrics& metrics, int width);
