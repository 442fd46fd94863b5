#include "ui/editor/texts.h"

namespace ui {

namespace {

EditorTexts Spanish() {
    EditorTexts t;
    t.load = QStringLiteral("Cargar JNX");
    t.save = QStringLiteral("Guardar JNX");
    t.split = QStringLiteral("Dividir JNX");
    t.batch = QStringLiteral("Batch");
    t.splitBoxCaption = QStringLiteral("Split");
    t.splitBoxTip = QStringLiteral("Separar este nivel / Priorizar");
    t.splitButtonTip = QStringLiteral("Separar este nivel");
    t.group = QStringLiteral("Grupo");
    t.levels = QStringLiteral("Niveles");
    t.loadHint = QStringLiteral("Pulse Cargar JNX para cargar un fichero.");
    t.previewLine1 = QStringLiteral("Una vez cargado un mapa");
    t.previewLine2 = QStringLiteral("mueva el ratón sobre la etiqueta de nivel");
    t.previewLine3 = QStringLiteral("para previsualizarlo");
    t.updateTo = QStringLiteral("Actualizar a ...");
    t.drawOrder = QStringLiteral("DrawOrder");
    t.levelWord = QStringLiteral("Nivel");
    t.warningTitle = QStringLiteral("Aviso");
    t.informationTitle = QStringLiteral("Informacion");
    t.errorTitle = QStringLiteral("Error");
    t.configError = QStringLiteral("Error en el fichero de configuración.");
    t.unsupportedFile = QStringLiteral(
        "Version de fichero JNX no soportada, vuelva a generar el JNX con versiones mas recientes de las "
        "aplicaciones.");
    t.needFile = QStringLiteral("Debe cargar primero un fichero JNX.");
    t.allLevelsZoomName = QStringLiteral("Todos los niveles deben tener nombre de zoom.");
    t.allLevelsZoomNumber = QStringLiteral("Todos los niveles deben tener zoom definido.");
    t.groupEmpty = QStringLiteral("No puede dejar vacío el campo grupo de familia.");
    t.productIdEmpty = QStringLiteral("No puede dejar vacío el campo código de producto.");
    t.nothingToSplit = QStringLiteral("Nada que separar, debe marcar aquellos niveles que desea separar.");
    t.singleLevel = QStringLiteral("No tiene sentido separar un fichero de un solo nivel.");
    t.updatedOk = QStringLiteral("JNX actualizado correctamente.");
    t.generatedOk = QStringLiteral("Nuevo JNX generado correctamente.");
    t.goToFolder = QStringLiteral("Pulse SI para ir a la carpeta de generación, NO en caso contrario.");
    t.updateErrors = QStringLiteral("Errores en la actualizacion del JNX.");
    t.generationErrors = QStringLiteral("Errores en la generación del JNX.");
    t.fileFilter = QStringLiteral("Fichero JNX (*.jnx *.JNX)");
    return t;
}

EditorTexts English() {
    EditorTexts t;
    t.load = QStringLiteral("Load JNX");
    t.save = QStringLiteral("Save JNX");
    t.split = QStringLiteral("Split JNX");
    t.batch = QStringLiteral("Batch");
    t.splitBoxCaption = QStringLiteral("Split");
    t.splitBoxTip = QStringLiteral("Split this level / Priorize level");
    t.splitButtonTip = QStringLiteral("Split this level");
    t.group = QStringLiteral("Group");
    t.levels = QStringLiteral("Levels");
    t.loadHint = QStringLiteral("Press Load JNX button.");
    t.previewLine1 = QStringLiteral("when the map is loaded");
    t.previewLine2 = QStringLiteral("move the mouse over the tag level");
    t.previewLine3 = QStringLiteral("to preview");
    t.updateTo = QStringLiteral("Update to ...");
    t.drawOrder = QStringLiteral("DrawOrder");
    t.levelWord = QStringLiteral("Level");
    t.warningTitle = QStringLiteral("Warning");
    t.informationTitle = QStringLiteral("Information");
    t.errorTitle = QStringLiteral("Error");
    t.configError = QStringLiteral("Error in config file.");
    t.unsupportedFile =
        QStringLiteral("JNX file version not supported, rebuild the JNX with newer versions of applications.");
    t.needFile = QStringLiteral("Need to load a JNX file.");
    t.allLevelsZoomName = QStringLiteral("All levels need a zoom name.");
    t.allLevelsZoomNumber = QStringLiteral("All levels need a zoom number.");
    t.groupEmpty = QStringLiteral("Product description empty.");
    t.productIdEmpty = QStringLiteral("Product ID empty.");
    t.nothingToSplit = QStringLiteral("Nothing to split, you need to check levels to split.");
    t.singleLevel = QStringLiteral("The file has only one level, no need to split it.");
    t.updatedOk = QStringLiteral("JNX updated Sucesfuly.");
    t.generatedOk = QStringLiteral("New JNX generated Sucesfuly.");
    t.goToFolder = QStringLiteral("Press YES to go generation folder, NO otherwise.");
    t.updateErrors = QStringLiteral("Errors in JNX update.");
    t.generationErrors = QStringLiteral("Errors in JNX generation.");
    t.fileFilter = QStringLiteral("Fichero JNX (*.jnx *.JNX)");
    return t;
}

}  // namespace

const EditorTexts& TextsFor(bool spanish) {
    static const EditorTexts es = Spanish();
    static const EditorTexts en = English();
    return spanish ? es : en;
}

QString MissingLanguageMessage() { return QStringLiteral("Error reading Preferences/Language in Tessaly.ini."); }

QString WindowCaption() { return QStringLiteral("Tessaly v.") + QString::fromLatin1(kProgramVersion); }

}  // namespace ui
