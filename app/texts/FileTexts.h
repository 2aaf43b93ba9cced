#pragma once

#include "platform/Files.h"

#include <QString>

// The translated text with "%s" replaced by name.
QString WithName(const char* germanId, const QString& name);

// Why a file could not be read or written, in the current language: the
// program's own words, never the system's or Qt's (those are English or in
// the system's language, not the window's).
QString FileReasonText(const platform::TFileError& error);

// "In <path> kann nicht geschrieben werden" and the reason on a line of its
// own; a folder that takes no new file says so and asks for another place.
QString WriteFailureText(const QString& path, const platform::TFileError& error);

// A document that cannot be opened: what it is when it is no file ("<name>
// ist ein Ordner !" and the like), else why it cannot be read. name is the
// name as the message shows it.
QString ReadFailureText(const QString& name, const platform::TFileError& error);
