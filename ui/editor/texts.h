// Every caption and message of the editor window, in Spanish and English.
#pragma once
#include <QString>

namespace ui {

inline constexpr const char* kProgramVersion = "0.1.0";

struct EditorTexts {
    QString load, save, split, batch;
    QString splitBoxCaption, splitBoxTip, splitButtonTip;
    QString group, levels, loadHint;
    QString previewLine1, previewLine2, previewLine3;
    QString updateTo, drawOrder, levelWord;

    QString warningTitle, informationTitle, errorTitle;
    QString configError;
    QString unsupportedFile;
    QString needFile, allLevelsZoomName, allLevelsZoomNumber;
    QString groupEmpty, productIdEmpty, nothingToSplit, singleLevel;
    QString updatedOk, generatedOk, goToFolder;
    QString updateErrors, generationErrors;
    QString fileFilter;
};

const EditorTexts& TextsFor(bool spanish);

// Shown in English whatever the language, since the language itself is what is missing.
QString MissingLanguageMessage();
QString WindowCaption();

}  // namespace ui
