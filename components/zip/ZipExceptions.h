#pragma once

// Exception classes of the zip library and its fixed English message table.

#include <QtCore/QString>

#include <stdexcept>

// The zip library's own copies of the general-purpose exceptions it raises,
// kept in a namespace so that they never clash with another library's.
namespace kpzip {
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message) : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};
class EListError : public Exception { using Exception::Exception; };
class EClassNotFound : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EStreamError { using EStreamError::EStreamError; };
}  // namespace kpzip

class EArcZipException : public kpzip::Exception { using kpzip::Exception::Exception; };
class EBadZipFile : public EArcZipException { using EArcZipException::EArcZipException; };
class EIncompleteZip : public EArcZipException { using EArcZipException::EArcZipException; };
class ENotAZipFile : public EArcZipException { using EArcZipException::EArcZipException; };
class EFatalUnzipError : public EArcZipException { using EArcZipException::EArcZipException; };
class EUserCanceled : public EArcZipException { using EArcZipException::EArcZipException; };
class EBiggerThanUncompressed : public EArcZipException { using EArcZipException::EArcZipException; };
class ENotEnoughRoom : public EArcZipException { using EArcZipException::EArcZipException; };
class ECantWriteUCF : public EArcZipException { using EArcZipException::EArcZipException; };
class ECanceledUnzipToBuffer : public EArcZipException { using EArcZipException::EArcZipException; };
class EConfigFileSaveError : public EArcZipException { using EArcZipException::EArcZipException; };

class EZLibError : public kpzip::Exception { using kpzip::Exception::Exception; };
class EZCompressionError : public EZLibError { using EZLibError::EZLibError; };

// The library's message table; an unknown id gives an empty text.
QString ZipMessage(int id);

// Message ids.
enum : int {
    ZM_OpenZipTitle = 176,
    ZM_OpenZipFilter = 177,
    ZM_CancelDestDir = 178,
    ZM_IndexOutOfRange = 179,
    ZM_UserAborted = 181,
    ZM_IncompleteZip = 182,
    ZM_NotAZip = 183,
    ZM_InsertDisk = 184,
    ZM_OfMultiDisk = 185,
    ZM_CancelZipName = 186,
    ZM_CancelZip = 187,
    ZM_SeekError = 190,
    ZM_InvalidSeekOrigin = 191,
    ZM_PutbackOverflow = 192,
    ZM_InflateOutOfMemory = 193,
    ZM_PrematureEnd = 194,
    ZM_ReplaceFile = 195,
    ZM_FileExists = 196,
    ZM_UnknownMethod = 197,
    ZM_ZipError = 198,
    ZM_BiggerThanUncompressed = 199,
    ZM_CouldNotCopy = 202,
    ZM_Error = 203,
    ZM_NotEnoughRoom = 204,
    ZM_CantWriteUCF = 207,
    ZM_ShortRead = 208,
};
