#pragma once

#include <QtGlobal>

#include <initializer_list>
#include <string>
#include <string_view>

// Messages of the drive, image and rip layers, in the interface language. A message is written
// where it is raised as QT_TRANSLATE_NOOP("platform", "...") so that the translation tools find
// it; %1, %2, ... in it take `args` (UTF-8) in order. Without a translation the text stays as written.
namespace platform {

std::string message(const char *text, std::initializer_list<std::string_view> args = {});

}  // namespace platform
