#pragma once

#include <QByteArray>

#include <optional>

// Whether the bytes of a cover may be kept and shown, and the extension to keep them under ("jpg"
// or "png"): a JPEG or PNG image, at most 2000 pixels a side, complete to its end marker, that
// decodes in full; a JPEG of at most a hundred scans. Each scan of a progressive JPEG is a pass
// over the whole picture, so a file of a few MB made of tiny scans takes minutes to decode; real
// covers have about ten. Reads the bytes only; safe on any thread, and meant for one away from the
// window's.
std::optional<const char *> coverImageExtension(const QByteArray &bytes);
