// What the batch commands share: their texts, the version rule and the validation pass.
#include "batch/batch_commands.h"

#include <cctype>

#include "edit/user_input.h"
#include "platform/fs.h"

namespace batch {

std::string RefusalText(Refusal refusal, bool spanish) {
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::NoRows:
        return spanish ? "Debe cargar un directorio." : "You must load a directory.";
    case Refusal::ErroneousChecked:
        return spanish ? "No puede seleccionar ningún fichero erroneo para procesar."
                       : "All erroneous files must be unchecked.";
    case Refusal::InvalidFilename:
        return spanish ? "Todos los ficheros seleccionados deben tener un nombre de fichero válido."
                       : "All selected files need valid filename.";
    case Refusal::BadDrawOrder:
        return spanish ? "El orden de dibujo debe ser un número entero." : "Draw order must be a whole number.";
    case Refusal::NoneChecked:
        return spanish ? "Debe seleccionar al menos un fichero válido." : "You must select at least one valid JNX file.";
    case Refusal::NothingToDelete:
        return spanish ? "Debe seleccionar al menos un fichero a borrar."
                       : "You must select at least one file to delete.";
    case Refusal::SingleLevelSplit:
        return spanish ? "No tiene sentido separar un fichero de un solo nivel."
                       : "Any file has only one level, no need to split it.";
    case Refusal::NothingToSplit:
        return spanish ? "Nada que separar, debe marcar aquellos niveles que desea separar."
                       : "Nothing to split, you need to check levels to split.";
    }
    return {};
}

std::string WarningTitle(bool spanish) { return spanish ? "Aviso" : "Warning"; }
std::string InformationTitle(bool spanish) { return spanish ? "Información" : "Information"; }

std::string SaveSummary::Text(bool spanish) const {
    if (spanish) {
        return "Actualizados OK: " + std::to_string(updated) + "\r\nCreados OK: " + std::to_string(created) +
               "\r\nErrores: " + std::to_string(errors) + "\r\n";
    }
    return "Updated OK: " + std::to_string(updated) + "\r\nCreated OK: " + std::to_string(created) +
           "\r\nErrors: " + std::to_string(errors) + "\r\n";
}

std::string SplitSummary::Text(bool spanish) const {
    if (spanish) return "Extraidos OK: " + std::to_string(extracted) + "\r\nErrores: " + std::to_string(errors) + "\r\n";
    return "Extracted OK: " + std::to_string(extracted) + "\r\nErrors: " + std::to_string(errors) + "\r\n";
}

std::string DeleteSummary::Text(bool spanish) const {
    if (errors > 0) return spanish ? "Errores en el borrado." : "Delete errors.";
    return spanish ? "Borrados correctamente." : "Deleted OK.";
}

std::string DeleteConfirmText(std::size_t count, bool spanish) {
    if (spanish) return "Va a borrar " + std::to_string(count) + " ficheros, ¿está seguro?.";
    return "Delete " + std::to_string(count) + " files, are you sure?.";
}

VersionChoice ChooseVersion(const PanelValues& panel, const BatchRow& row) {
    const int rowVersion = jnx::ParseInt32(row[kJNXVersion]).value_or(0);
    if (panel.targetVersion) return {*panel.targetVersion, *panel.targetVersion != rowVersion};
    return {rowVersion, false};
}

bool SaveRegenerates(const PanelValues& panel, const BatchRow& row) {
    return ChooseVersion(panel, row).changeVersion || row[kNeedTMP] == kYes;
}

namespace {

bool HasValidJnxName(const std::string& name) {
    const std::string trimmed = jnx::Trim(name);
    if (trimmed.empty()) return false;
    std::string ext = platform::ExtensionOf(trimmed);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == "JNX";
}

}  // namespace

Refusal ValidateSave(const BatchTable& table, const PanelValues& panel) {
    if (table.empty()) return Refusal::NoRows;
    int count = 0;
    for (const auto& row : table.rows) {
        if (!row.Checked()) continue;
        if (row.Erroneous()) return Refusal::ErroneousChecked;
        if (!HasValidJnxName(row.FileName())) return Refusal::InvalidFilename;
        ++count;
    }
    if (count == 0) return Refusal::NoneChecked;
    // A draw order that cannot be stored must stop the run before the first file.
    if (!jnx::Trim(panel.drawOrderText).empty() && !jnx::ParseInt32(panel.drawOrderText)) return Refusal::BadDrawOrder;
    return Refusal::None;
}

bool FileOps::Exists(const std::string& path) { return platform::FileExists(path); }
bool FileOps::Delete(const std::string& path) { return platform::DeleteFile(path); }
bool FileOps::Replace(const std::string& from, const std::string& to, std::string& error) {
    return platform::MoveFile(from, to, error);
}
bool FileOps::Rename(const std::string& from, const std::string& to, std::string& error) {
    return platform::MoveFileNoReplace(from, to, error);
}

}  // namespace batch
