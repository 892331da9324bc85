#include "common/error.h"

#include "common/number_text.h"

#include <cerrno>

namespace cartonym {

const char* Fehlerbeschreibung(Fehlernummer nummer)
{
    switch (nummer) {
    case Fehlernummer::Dateiname_falsch: return "Bad file name or number";
    case Fehlernummer::Datei_fehlt: return "File not found";
    case Fehlernummer::Geraetefehler: return "Device I/O error";
    case Fehlernummer::Datei_existiert: return "File already exists";
    case Fehlernummer::Datentraeger_voll: return "Disk full";
    case Fehlernummer::Dateiende: return "Input past end of file";
    case Fehlernummer::Keine_berechtigung: return "Permission denied";
    case Fehlernummer::Zugriffsfehler: return "Path/File access error";
    case Fehlernummer::Pfad_fehlt: return "Path not found";
    }
    return "Path/File access error";
}

Fehlernummer Nummer_aus_errno(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return Fehlernummer::Datei_fehlt;
    case EEXIST:
        return Fehlernummer::Datei_existiert;
    case EACCES:
    case EPERM:
    case EROFS:
        return Fehlernummer::Keine_berechtigung;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Fehlernummer::Datentraeger_voll;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case EBADF:
        return Fehlernummer::Dateiname_falsch;
    case ENOTDIR:
    case ELOOP:
        return Fehlernummer::Pfad_fehlt;
    case EISDIR:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
    case EXDEV:
    case EMFILE:
    case ENFILE:
    case ENXIO:
    case ENODEV:
    case EWOULDBLOCK:
        return Fehlernummer::Zugriffsfehler;
    default:
        // EIO and everything unforeseen: treated as a device failure, which
        // stops a batch run instead of silently passing the file over.
        return Fehlernummer::Geraetefehler;
    }
}

Fehler::Fehler(Fehlernummer nummer)
    : std::runtime_error(Fehlerbeschreibung(nummer)), nummer_(nummer)
{
}

void Wirf_errno(int errnum)
{
    throw Fehler(Nummer_aus_errno(errnum));
}

std::string Fehlertext_kurz(const Fehler& fehler)
{
    return "Error Nr. " + Dezimaltext(fehler.zahl()) + " happened:\n" + fehler.beschreibung();
}

std::string Fehlertext_datei(const Fehler& fehler, const std::string& Dateipfad)
{
    return Fehlertext_kurz(fehler) + "\nThis error happend while processing the following file: \n\n"
        + Dateipfad + "\n\nProgress aborted !";
}

} // namespace cartonym
