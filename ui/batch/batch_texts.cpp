#include "ui/batch/batch_texts.h"

namespace batchui {

QString BatchTexts::ColumnCaption(int column) const {
    switch (column) {
        case 0: return QStringLiteral(" ");
        case 1: return Pick("Grupo", "Group");
        case 2: return Pick("Nombre grupo", "Group Name");
        case 3: return QStringLiteral("Levels");
        case 4: case 5: case 6: case 7: case 8: return QStringLiteral("Zoom ") + QString::number(column - 3);
        case 9: return QStringLiteral("NumTiles");
        case 10: return QStringLiteral("Version");
        case 11: return QStringLiteral("DrawOrd");
        case 17: return Pick("Fichero", "Filename");
        default: return QString();
    }
}

QString BatchTexts::FolderUnreadable(const QString& folder) const {
    return Pick("No se puede leer la carpeta ", "The folder cannot be read: ") + folder;
}

}  // namespace batchui
