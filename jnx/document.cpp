#include "jnx/document.h"

namespace jnx {

std::size_t JnxDocument::FirstTileOf(std::size_t level) const {
    std::size_t first = 0;
    for (std::size_t i = 0; i < level && i < Levels.size(); ++i) {
        if (Levels[i].TileCount > 0) first += std::size_t(Levels[i].TileCount);
    }
    return first;
}

void ResetJnxDocument(JnxDocument& doc) {
    doc.Padding.clear();
    doc.Levels.clear();
    doc.LevelExtras.clear();
    doc.LevelInfos.clear();
    doc.Tiles.clear();
    doc.Signature.clear();
    doc.CheckPointsTiles.clear();
    doc.CheckPointsImages.clear();
    doc.jpgOffset.clear();
    doc.TileOffset.clear();
    doc.Previews.clear();
    doc.FrontAsRead.clear();
}

}  // namespace jnx
