#pragma once
// Texts of the core are 8-bit Windows-1252 bytes (file lines, packet bytes,
// markup). Widgets want QString. These two convert at that boundary, every
// byte to exactly one character and back (the table is the core's,
// util/Windows1252.h), so a text survives a round trip.
//
// File and device paths are the exception: they are in the system's encoding
// (what open() takes), so they go through PathToQString instead.

#include <QString>

#include <string>
#include <string_view>

namespace tapwise {

QString AnsiToQString(std::string_view bytes);
// A character outside Windows-1252 becomes '?'.
std::string QStringToAnsi(const QString& text);

// A file or device path as the system encodes it.
QString PathToQString(const std::string& path);

}  // namespace tapwise
