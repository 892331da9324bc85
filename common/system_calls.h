// File-system primitives of the core, all behind one seam: before each
// system call the installed hook may answer with an errno, and the operation
// then fails with that error instead. Tests use it to fail the n-th operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cartonym {

enum class Systemoperation {
    Oeffnen,
    Lesen,
    Schreiben,
    Synchronisieren,
    Schliessen,
    Verschieben,
    Kopieren,
    Ordner_anlegen,
    Ordner_entfernen,
    Loeschen,
    Auflisten,
};

// Returns an errno to inject, or 0 to let the operation run.
using Fehlerhaken = std::function<int(Systemoperation, const std::string& pfad)>;

// Installs the hook (an empty function removes it); returns the previous one.
Fehlerhaken Setze_fehlerhaken(Fehlerhaken haken);

// The errno the hook injects for this operation, or 0.
int Injizierter_fehler(Systemoperation operation, const std::string& pfad);

// Writes every byte to fd, going on after interruptions; throws Fehler.
// Hook: Schreiben (pfad names the file for the hook and nothing else).
void Schreibe_alles(int fd, std::string_view daten, const std::string& pfad);

// The folder that holds the running executable.
std::string Programmordner();

// What tells one version of a file from another.
struct Dateikennung {
    std::uint64_t geraet = 0;
    std::uint64_t inode = 0;
    std::uint64_t groesse = 0;
    std::int64_t mtime_s = 0;
    std::int64_t mtime_ns = 0;
    std::int64_t ctime_s = 0; // changes with the access rights too
    std::int64_t ctime_ns = 0;
    bool operator==(const Dateikennung&) const = default;
};

// The identity of the file at pfad, following links, without opening it;
// throws Fehler when it cannot be examined. Hook: Oeffnen.
Dateikennung Kennung_von(const std::string& pfad);

// A file opened for positioned binary reads. Opening never blocks: the file
// is opened non-blocking and anything but a regular file (a FIFO, socket or
// device) is refused with a path/file access error. Closed by the destructor.
class Lesedatei {
public:
    explicit Lesedatei(const std::string& pfad);
    ~Lesedatei();
    Lesedatei(const Lesedatei&) = delete;
    Lesedatei& operator=(const Lesedatei&) = delete;

    std::uint64_t laenge() const noexcept { return kennung_.groesse; }
    const Dateikennung& kennung() const noexcept { return kennung_; }

    // Reads anzahl bytes at versatz; bytes beyond the end of the file read as 0.
    void lies(std::uint64_t versatz, unsigned char* ziel, std::size_t anzahl) const;

private:
    int fd_ = -1;
    Dateikennung kennung_;
    std::string pfad_;
};

} // namespace cartonym
