#include "ZipExceptions.h"

QString ZipMessage(int id)
{
    switch (id) {
    case ZM_OpenZipTitle: return QStringLiteral("Open a Zip File");
    case ZM_OpenZipFilter:
        return QStringLiteral("Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files (*.*)|*.*");
    case ZM_CancelDestDir: return QStringLiteral("User canceled Set Desination Directory");
    case ZM_IndexOutOfRange: return QStringLiteral("Index %d is out of range");
    case ZM_UserAborted: return QStringLiteral("User Aborted Operation");
    case ZM_IncompleteZip: return QStringLiteral("Incomplete Zip File");
    case ZM_NotAZip: return QStringLiteral("Not a valid zip file!");
    case ZM_InsertDisk: return QStringLiteral("Please insert disk ");
    case ZM_OfMultiDisk: return QStringLiteral(" of the multi-disk set.");
    case ZM_CancelZipName: return QStringLiteral("User canceled setting zip file name.");
    case ZM_CancelZip: return QStringLiteral("User canceled Zip operation");
    case ZM_SeekError: return QStringLiteral("Seek error");
    case ZM_InvalidSeekOrigin: return QStringLiteral("Invalid seek origin (%d)");
    case ZM_PutbackOverflow: return QStringLiteral("Putback overflow");
    case ZM_InflateOutOfMemory: return QStringLiteral("*** inflate out of memory ***");
    case ZM_PrematureEnd: return QStringLiteral("Premature end of file reached");
    case ZM_ReplaceFile: return QStringLiteral("Replace existing file ");
    case ZM_FileExists: return QStringLiteral("File Exists Alert");
    case ZM_UnknownMethod: return QStringLiteral("Unknown Compression Method");
    case ZM_ZipError: return QStringLiteral("Zip Error");
    case ZM_BiggerThanUncompressed: return QStringLiteral("File is larger than uncompressed size!");
    case ZM_CouldNotCopy: return QStringLiteral("Could not copy from ");
    case ZM_Error: return QStringLiteral("Error");
    case ZM_NotEnoughRoom: return QStringLiteral("Not enough room to write archive");
    case ZM_CantWriteUCF: return QStringLiteral("Cant write uncompressed file");
    default: return {};
    }
}
