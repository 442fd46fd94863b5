// Batch save, delete and split over the checked rows of a BatchTable. Each command first
// runs a validation pass over every checked row and refuses, touching no file, when one
// is wrong; then it works row by row in table order. A failing row is counted and
// reported; the run goes on with the next one.
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "edit/editor_values.h"
#include "jnx/progress.h"
#include "jnx/writer_settings.h"
#include "batch/batch_table.h"

namespace batch {

// The panel values besides the ones the writers read through jnx::EditorValues.
struct PanelValues {
    std::optional<int> targetVersion;  // cboActualizar: 3 or 4; nothing keeps each file's version
    std::string drawOrderText;         // txtDrawOrder
    bool replaceSource = false;        // chkRemoveOld
};

// Told once per processed file; the window advances its bar and lets events run. The
// table a command walks must not change meanwhile: the window disables its commands.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    virtual void Started(int /*total*/) {}  // bar maximum; value 0
    virtual void FileDone(int /*done*/) {}  // files finished so far
};

// Why a command refused to start.
enum class Refusal {
    None,
    NoRows,             // "Debe cargar un directorio."
    ErroneousChecked,   // "No puede seleccionar ningún fichero erroneo para procesar."
    InvalidFilename,    // "Todos los ficheros seleccionados deben tener un nombre de fichero válido."
    BadDrawOrder,       // the draw order is not a whole number
    NoneChecked,        // "Debe seleccionar al menos un fichero válido."
    NothingToDelete,    // "Debe seleccionar al menos un fichero a borrar."
    SingleLevelSplit,   // "No tiene sentido separar un fichero de un solo nivel."
    NothingToSplit,     // "Nada que separar, debe marcar aquellos niveles que desea separar."
};

// The refusal's message (title "Aviso" / "Warning", information icon); "" for None.
std::string RefusalText(Refusal refusal, bool spanish);
std::string WarningTitle(bool spanish);

enum class RowResult { Updated, Created, Extracted, Deleted, Failed };

struct RowOutcome {
    std::size_t row = 0;    // index in the table the command was given
    std::string path;       // the file the row addressed (fullFileName)
    std::string output;     // the file written (after renames); empty when nothing was written
    RowResult result = RowResult::Failed;
    std::string error;      // why it failed, English
};

// Outcome of a save run. Summary title "Info"; critical icon when errors > 0.
struct SaveSummary {
    Refusal refusal = Refusal::None;
    int checked = 0;
    int updated = 0;
    int created = 0;
    int errors = 0;
    std::vector<RowOutcome> rows;  // one per processed row, in table order

    bool Refused() const { return refusal != Refusal::None; }
    // "Actualizados OK: n\r\nCreados OK: n\r\nErrores: n\r\n" / "Updated OK: ...".
    std::string Text(bool spanish) const;
};

struct SplitSummary {
    Refusal refusal = Refusal::None;
    int checked = 0;
    int extracted = 0;
    int errors = 0;
    std::vector<RowOutcome> rows;  // one per level file attempted, and one per unreadable file

    bool Refused() const { return refusal != Refusal::None; }
    // "Extraidos OK: n\r\nErrores: n\r\n" / "Extracted OK: ...".
    std::string Text(bool spanish) const;
};

struct DeleteSummary {
    Refusal refusal = Refusal::None;
    int deleted = 0;
    int errors = 0;
    std::vector<RowOutcome> rows;

    bool Refused() const { return refusal != Refusal::None; }
    // "Borrados correctamente." / "Deleted OK.", or "Errores en el borrado." / "Delete errors."
    // (title "Información" / "Information").
    std::string Text(bool spanish) const;
};
std::string InformationTitle(bool spanish);

// Target version and whether it changes, from the panel and the row's JNXVersion.
struct VersionChoice {
    int targetVersion = 0;
    bool changeVersion = false;
};
VersionChoice ChooseVersion(const PanelValues& panel, const BatchRow& row);

// Whether save regenerates the row's file (version change or NeedTMP) rather than patching it.
bool SaveRegenerates(const PanelValues& panel, const BatchRow& row);

// The save validation pass alone (no file touched).
Refusal ValidateSave(const BatchTable& table, const PanelValues& panel);

// File operations the commands use; the tests replace them to make a step fail.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual bool Exists(const std::string& path);
    virtual bool Delete(const std::string& path);
    // Atomic rename over an existing target (same folder).
    virtual bool Replace(const std::string& from, const std::string& to, std::string& error);
    // Atomic rename that refuses an existing target.
    virtual bool Rename(const std::string& from, const std::string& to, std::string& error);
};

// Batch save of every checked row with the window's values. Regenerated files go to
// <base>_new.jnx beside the source, or, with replaceSource, to a temporary name that is
// then renamed over the source in one step. Patched files are renamed to their edited
// Filename (same folder) when it differs other than by letter case. The caller reloads
// the folder afterwards.
SaveSummary BatchSave(const BatchTable& table, const jnx::EditorValues& window, const PanelValues& panel,
                      const jnx::WriterSettings& settings, BatchObserver* observer = nullptr,
                      jnx::BusyObserver* busy = nullptr, FileOps* files = nullptr);

// The batch save run headless over files given by path (the command line): each file
// becomes a checked row of its own quick read, with Filename = renameTo when one is given
// (a single file only; an empty renameTo keeps the name), then BatchSave runs over them
// with the same validation pass and row errors as the window.
SaveSummary SaveFilesAsBatch(const std::vector<std::string>& paths, const std::string& renameTo,
                             const jnx::EditorValues& window, const PanelValues& panel,
                             const jnx::WriterSettings& settings, BatchObserver* observer = nullptr,
                             jnx::BusyObserver* busy = nullptr);

// Text of the delete confirmation for count files (Yes/No, title "Aviso" in both languages).
std::string DeleteConfirmText(std::size_t count, bool spanish);
// Deletes the files of the checked rows and removes their rows; rows whose file could not
// be deleted stay. Run it after the user confirmed. Refuses when no row is checked.
DeleteSummary BatchDelete(BatchTable& table, FileOps* files = nullptr);

// Batch split: the levels whose chkSplitOPriority box (window.LevelPriority(k - 1)) is
// ticked, for every checked file, through ExtractLevel into LevelFilePath. Levels beyond
// the fifth have no box and are passed over. The caller resets the panel and reloads.
SplitSummary BatchSplit(const BatchTable& table, const jnx::EditorValues& window, const PanelValues& panel,
                        const std::array<std::string, 5>& levelDirs, const jnx::WriterSettings& settings,
                        BatchObserver* observer = nullptr, jnx::BusyObserver* busy = nullptr);

}  // namespace batch
