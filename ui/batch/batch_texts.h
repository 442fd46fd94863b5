// The captions of the batch window, in Spanish and English.
#pragma once
#include <QString>

namespace batchui {

struct BatchTexts {
    bool spanish = false;

    QString Pick(const char* es, const char* en) const { return QString::fromUtf8(spanish ? es : en); }

    // Captions.
    QString SelectAll() const { return Pick("Todos", "All"); }
    QString SelectObsolete() const { return Pick("Obsoletos", "Obsoletes"); }
    QString SelectNone() const { return Pick("Ninguno", "None"); }
    QString Split() const { return Pick("Dividir JNX", "Split JNX"); }
    QString Merge() const { return Pick("Unir JNX", "Merge JNX"); }
    QString Recursive() const { return Pick("Incluir subcarpetas", "Incluide subfolders"); }
    QString RemoveOld() const { return Pick("Borrar ficheros previos", "Delete old files"); }
    QString Load() const { return Pick("Cargar", "Load Dir"); }
    QString Save() const { return Pick("Guardar", "Save"); }
    QString Delete() const { return Pick("Borrar", "Delete"); }
    QString UpdateTo() const { return Pick("Actualizar a ...", "Update to ..."); }
    QString LevelsFrame() const { return Pick("Niveles", "Levels"); }
    QString LevelLabel(int level) const { return Pick("Nivel ", "Level ") + QString::number(level); }
    QString SplitTip() const { return Pick("Separar este nivel / Priorizar", "Split this level / Priorize level"); }
    QString DrawOrder() const { return QStringLiteral("DrawOrder"); }
    QString SplitBox() const { return QStringLiteral("Split"); }
    QString ProductId() const { return Pick("ID producto", "Product ID"); }
    QString FamilyGroup() const { return Pick("Grupo", "Group"); }
    QString WindowTitle() const { return Pick("Proceso por lotes", "Batch"); }

    // Grid column captions, by field position; "" for the hidden columns.
    QString ColumnCaption(int column) const;

    QString WarningTitle() const { return Pick("Aviso", "Warning"); }
    QString InfoTitle() const { return QStringLiteral("Info"); }

    // The load's own message; the commands' refusals and summaries come with the commands.
    QString FolderUnreadable(const QString& folder) const;
};

}  // namespace batchui
