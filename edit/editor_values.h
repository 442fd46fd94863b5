// EditorValues: the edit values a window offers to the writers, read at the moment
// a writer runs. Level indexes are 0-based (index k is level k + 1); the windows offer
// levels 0..4 only, so a writer asks HasLevelControls first.
#pragma once
#include <optional>
#include <string>

namespace jnx {

class EditorValues {
public:
    virtual ~EditorValues() = default;

    virtual std::string ProductIdText() const = 0;    // txtProductID
    virtual std::string FamilyGroupText() const = 0;  // txtFamiliGroup
    // Whether the window has cboNivel / chkSplitOPriority / txtNivel for this level.
    virtual bool HasLevelControls(int levelIndex) const { return levelIndex >= 0 && levelIndex < 5; }
    // Item data (StandardScale) of the selected cboNivel entry, or nothing when none is selected.
    virtual std::optional<std::int32_t> LevelScaleChoice(int levelIndex) const = 0;
    virtual bool LevelPriority(int levelIndex) const = 0;          // chkSplitOPriority
    virtual std::string LevelZoomText(int levelIndex) const = 0;   // txtNivel (editor only; "" elsewhere)
    // True for the editor window ("Form1"): only there are zoom numbers written.
    virtual bool IsEditorWindow() const = 0;
};

// A plain set of values, for the command line and the tests.
class FixedEditorValues : public EditorValues {
public:
    std::string productId;
    std::string familyGroup;
    std::optional<std::int32_t> scaleChoice[5];
    bool priority[5] = {false, false, false, false, false};
    std::string zoomText[5];
    bool editorWindow = false;

    std::string ProductIdText() const override { return productId; }
    std::string FamilyGroupText() const override { return familyGroup; }
    std::optional<std::int32_t> LevelScaleChoice(int k) const override {
        return HasLevelControls(k) ? scaleChoice[k] : std::nullopt;
    }
    bool LevelPriority(int k) const override { return HasLevelControls(k) && priority[k]; }
    std::string LevelZoomText(int k) const override { return HasLevelControls(k) ? zoomText[k] : std::string(); }
    bool IsEditorWindow() const override { return editorWindow; }
};

}  // namespace jnx
