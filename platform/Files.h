#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <stdexcept>

namespace platform {

// Why a file could not be read or written, in terms the program words itself
// in the window's language (the system's own texts are in another).
enum class TFileReason {
    None,
    DiskFull,
    Denied,
    ReadOnly,
    NoFolder, // the folder is missing, or a part of the path is no folder
    NotFound,
    IsFolder,
    IsPipe,
    IsDevice,
    IsSocket,
    LinkLoop,
    NameTooLong,
    TooLarge,
    InputOutput,
    Other // see Errno
};

// Where it failed: looking at the target, making the temporary file beside
// it, writing, bringing it to the disk, putting it in the target's place, or
// reading.
enum class TFileStep { None, Target, Temporary, Write, Sync, Replace, Read };

struct TFileError {
    TFileReason Reason = TFileReason::None;
    TFileStep Step = TFileStep::None;
    int Errno = 0; // the system's code; 0 when the reason is the file's type
    explicit operator bool() const { return Reason != TFileReason::None; }
};

// The reason for a system error code at a step.
TFileError FileErrorOf(int errnum, TFileStep step);
// A short English description, for the command line and logs.
QString EnglishDescription(const TFileError& error);

// Replaces the file at path by bytes, or leaves it as it was. The bytes go
// to a new file beside the target, which is written, brought to the disk and
// then renamed over the target; a failure at any step removes that file and
// leaves the target byte for byte. Never writes in place: a folder that takes
// no new file fails (Step Temporary). A symbolic link is followed and stays;
// the file keeps its permissions; an existing target that is no regular file
// (a folder, a pipe, a device) or is not writable is refused.
TFileError ReplaceFile(const QString& path, QByteArrayView bytes);

// Reads a regular file whole. Anything else (a folder, a pipe, a device) is
// refused without being opened for long: a pipe or a device never blocks.
// With a limit (not negative), a file of more bytes is refused as TooLarge
// before it fills the memory: outside data need not be trusted to be small.
TFileError ReadRegularFile(const QString& path, QByteArray& bytes, qint64 limit = -1);

// A failed read or write as an exception, with the path; what() is English.
class EFileError : public std::runtime_error {
public:
    EFileError(QString path, TFileError error);
    const QString& Path() const { return FPath; }
    const TFileError& Error() const { return FError; }

private:
    QString FPath;
    TFileError FError;
};

} // namespace platform
