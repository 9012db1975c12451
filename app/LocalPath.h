#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

// File names are bytes, and not every name is UTF-8 (a file copied from an old disc, "caf\xe9.cue").
// QFile::decodeName turns such bytes into U+FFFD and the file can no longer be found, so paths that
// the user opens go through these instead: a byte that starts no UTF-8 character is kept as the
// lone surrogate U+DC80 + byte, and turned back into that byte on the way to the file system.
QString pathFromLocal(const QByteArray &bytes);
QByteArray localPath(const QString &path);

// The local path of a file:// URL with its bytes as given (percent-escapes that are no UTF-8
// included); empty for any other URL.
QString pathOfFileUrl(const QUrl &url);

// What the file system has at `path`, by its exact bytes (following symbolic links).
enum class PathKind { Missing, File, Folder, Other };
PathKind pathKind(const QString &path);
