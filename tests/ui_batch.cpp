// The batch window driven offscreen: the grid, the panel, navigation and reset, and what
// the window does around each command (the values it hands over, the box it shows, the
// grid it reloads); the commands' own file work is tested with the batch library.
#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "platform/fs.h"
#include "support/edit_support.h"
#include "support/jnx_builder.h"
#include "ui/batch/batch_folders.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_window.h"
#include "ui/batch/coverage_pane.h"
#include "ui/common/device_check_line.h"
#include "ui/common/error_message.h"
#include "ui/common/language.h"
#include "ui/batch/batch_messages.h"

void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using batchui::BatchModel;
using batchui::BatchWindow;
using Names = std::vector<std::string>;

// The shipped settings in the mode and with the start folder asked, and the window over them.
struct Rig {
    fixture::TempDir iniDir;
    std::unique_ptr<settings::Settings> settings;
    settings::SettingsTables tables;
    ui::RecordingMessagePresenter presenter;
    std::unique_ptr<BatchWindow> window;

    explicit Rig(int userLevel = 1, const std::string& startFolder = "") {
        fixture::WriteBytes(iniDir.file("Tessaly.ini"), fixture::ReadBytes(TESSALY_INI_PATH));
        settings = std::make_unique<settings::Settings>(iniDir.file("Tessaly.ini"));
        const std::string values[][3] = {
            {"Preferences", "UserLevel", std::to_string(userLevel)}, {"Preferences", "BatchDefaultDir", startFolder},
            {"Groups", "Group1", "12/Topo North"}, {"Groups", "GroupZooms1", "4,-2,6,-1,-2"},
            {"Groups", "Group2", "345/Sea Charts"}};
        for (const auto& v : values) settings->WriteSetting(v[0], v[1], v[2]);
        EXPECT_TRUE(settings::CargarCombos(*settings, tables));
        window = std::make_unique<BatchWindow>(*settings, tables, presenter, nullptr);
        window->show();
    }
    void Load(const std::string& folder) {
        ASSERT_TRUE(window->OpenFolder(folder));
        window->OnLoad();
    }
    int Row(const std::string& fileName) const {
        const auto& rows = window->Table().rows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].fileName == fileName) return static_cast<int>(i);
        return -1;
    }
    // The grid's text of a file's row, "" when the grid has no such row.
    std::string Field(const std::string& fileName, int column) const {
        return window->Model().index(Row(fileName), column).data().toString().toStdString();
    }
    void Check(std::initializer_list<std::string> fileNames) {
        for (const std::string& name : fileNames)
            EXPECT_TRUE(window->Model().setData(window->Model().index(Row(name), BatchModel::kCheck), Qt::Checked,
                                                Qt::CheckStateRole))
                << name;
    }
    std::string LastText() const { return presenter.last() ? presenter.last()->text.toStdString() : ""; }
};

// obsolete: laid out as the window's "Obsoletes" button picks, without the map block.
void Write(const fixture::TempDir& dir, const std::string& name, int version, std::vector<std::int32_t> scales,
           bool obsolete = false) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, static_cast<int>(scales.size()), 2);
    for (std::size_t i = 0; i < scales.size(); ++i) recipe.levels[i].scale = scales[i];
    recipe.withMapBlock = !obsolete;
    recipe.gap = obsolete ? 1024 : -1;
    fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
}

// What the panel hands a command; its boxes take only what they can hand.
edit::EditRequest RequestOf(const batchui::BatchPanel& panel) {
    edit::EditRequest request;
    platform::Error error;
    EXPECT_TRUE(panel.Request(false, request, error));
    return request;
}

TEST(BatchGrid, RowsColoursAndSelection) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "a.jnx", 4, {76437, 19108, 4777});  // level 2 just below its standard scale
    Write(dir, "b.JNX", 3, {4777}, true);
    fixture::WriteBytes(dir.file("c.txt"), {1, 2, 3});
    fixture::WriteBytes(dir.file("d.jnx"), {9, 9, 9});
    s.Load(dir.path());
    auto& model = s.window->Model();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(s.settings->ReadSetting("Preferences", "BatchDefaultDir"), s.window->CurrentFolder());
    const int a = s.Row("a.jnx"), b = s.Row("b.JNX"), bad = 3 - a - b;
    EXPECT_EQ(s.Field("d.jnx", BatchModel::kGroup), "??");
    // The unreadable file shows its name, and why it cannot be read on hover.
    EXPECT_EQ(s.Field("d.jnx", BatchModel::kFilename), "d.jnx");
    const QString why = ui::ErrorMessage(*s.window->Table().rows[std::size_t(bad)].readError);
    EXPECT_TRUE(model.index(bad, BatchModel::kFilename).data(Qt::ToolTipRole).toString().contains(why));
    // A zoom cell names the row of its level's scale; a version 3 map has no draw order.
    EXPECT_EQ(s.Field("a.jnx", BatchModel::kZoom1 + 2) + "/" + s.Field("b.JNX", BatchModel::kDrawOrder), "1.2 km/");
    auto red = [&](int row) {
        return model.data(model.index(row, BatchModel::kGroupName), Qt::ForegroundRole).isValid();
    };
    EXPECT_TRUE(red(b) && !red(a));
    auto bold = [&](int row, int level) {
        return model.data(model.index(row, BatchModel::kZoom1 + level), Qt::FontRole).value<QFont>().bold();
    };
    EXPECT_TRUE(bold(a, 1) && !bold(a, 0) && !bold(b, 1));
    EXPECT_TRUE(model.headerData(BatchModel::kZoom1, Qt::Horizontal, Qt::ToolTipRole)
                    .toString()
                    .contains(QString::fromStdString(s.tables.ZoomTable[0].Name)));
    s.Check({"a.jnx"});

    s.window->cmdSelectObsoletos->click();  // clears the others
    EXPECT_EQ(model.Checked(), batch::Selection{std::size_t(b)});
    s.window->cmdSelectAll->click();
    EXPECT_EQ(model.CheckedCount(), 3u);
    s.window->cmdSelectNothing->click();
    EXPECT_EQ(model.CheckedCount(), 0u);
}

TEST(BatchPanel, ValuesVersionAndGroupPicks) {
    for (const bool presets : {false, true}) {
        SCOPED_TRACE(presets);
        Rig s(presets ? 2 : 1);
        auto& p = s.window->Panel();
        EXPECT_TRUE(p.cboFamily->isVisibleTo(s.window.get()) == presets && p.txtFamiliGroup->isHidden() == presets);
        QTest::keyClicks(p.txtDrawOrder, "4x56");
        p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(4));
        EXPECT_TRUE(p.txtDrawOrder->isVisibleTo(s.window.get()) && p.txtDrawOrder->isEnabled());
        EXPECT_EQ(RequestOf(p).targetVersion, 4);
        EXPECT_EQ(RequestOf(p).drawOrder, 456);
        for (int k = 0; k < 5; ++k) p.cboNivel[k]->setCurrentIndex(2);
        // GroupZooms1 = 4,-2,6,-1,-2: rows 3, as it was, 5, "(keep)", as it was in preset mode.
        p.PickFamily(0);
        EXPECT_EQ(RequestOf(p).productId, 12);
        EXPECT_EQ(RequestOf(p).groupName, "Topo North");
        const int expected[] = {presets ? 4 : 2, 2, presets ? 6 : 2, presets ? 0 : 2, 2};  // after "(keep)"
        for (int k = 0; k < 5; ++k) EXPECT_EQ(p.cboNivel[k]->currentIndex(), expected[k]) << k;
        EXPECT_EQ(RequestOf(p).levels[0].scale, s.tables.ZoomTable[std::size_t(expected[0] - 1)].StandardScale);
        EXPECT_EQ(RequestOf(p).levels[3].scale.has_value(), !presets);
        p.PickFamily(1);
        EXPECT_EQ(RequestOf(p).productId, 345);  // a product ID from the list arrives whole
        p.cboFamily->setEditText("My own group");  // reaches the hidden box; the product ID stays
        EXPECT_EQ(RequestOf(p).groupName, "My own group");
    }
}

TEST(BatchWindowNav, StartFolderNavigationAndReset) {
    fixture::TempDir dir;
    std::filesystem::create_directories(dir.file("sub/deeper"));
    Write(dir, "a.jnx", 4, {4777});
    Write(dir, "sub/a.jnx", 4, {4777});
    EXPECT_EQ(Rig(1, dir.file("gone")).window->CurrentFolder(), batchui::CleanFolderPath(platform::ProgramFolder()));
    Rig s(1, dir.path());
    BatchWindow& w = *s.window;
    EXPECT_EQ(w.CurrentFolder(), dir.path());
    // The folder list shows the way down and the subfolders; one click opens an entry.
    QListWidgetItem* sub = nullptr;
    for (int i = 0; i < w.Dir1->count(); ++i)
        if (w.Dir1->item(i)->data(Qt::UserRole).toString().toStdString() == dir.file("sub")) sub = w.Dir1->item(i);
    ASSERT_NE(sub, nullptr);
    emit w.Dir1->itemClicked(sub);
    EXPECT_EQ(w.CurrentFolder(), dir.file("sub"));
    EXPECT_FALSE(w.OpenFolder(dir.file("missing")));

    // Subfolders on request, the folder's own files first; a name met twice tells its folder.
    ASSERT_TRUE(w.OpenFolder(dir.path()));
    w.chkRecursive->setChecked(true);
    w.OnLoad();
    ASSERT_EQ(w.Model().rowCount(), 2);
    EXPECT_EQ(w.Model().index(0, BatchModel::kFilename).data().toString() + QLatin1Char(' ') +
                  w.Model().index(1, BatchModel::kFilename).data().toString(),
              "a.jnx sub/a.jnx");
    EXPECT_EQ(w.Model().index(1, BatchModel::kFilename).data(Qt::EditRole).toString(), "a.jnx");
    // A second showing starts empty, whatever the first left behind.
    w.cmdSelectAll->click();
    w.chkRemoveOld->setChecked(true);
    w.Panel().txtProductID->setText("5");
    w.Panel().chkSplitOPriority[0]->setChecked(true);
    w.hide();
    w.show();
    EXPECT_TRUE(w.Model().rowCount() == 0 && !w.chkRecursive->isChecked() && !w.chkRemoveOld->isChecked());
    EXPECT_TRUE(w.Panel().txtProductID->text().isEmpty() && !w.Panel().chkSplitOPriority[0]->isChecked());
    EXPECT_EQ(w.CurrentFolder(), dir.path());  // the folder list keeps its place
}

// An older NAME_new.jnx is asked about first, No preferred: No writes nothing.
TEST(BatchCommands, SaveHandsOverThePanelAndReloadsTheFolder) {
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        Rig s;
        fixture::TempDir dir;
        Write(dir, "old3.jnx", 3, {76437, 4777});
        Write(dir, "new4.jnx", 4, {19109});
        s.Load(dir.path());
        s.Check({"old3.jnx", "new4.jnx"});
        auto& p = s.window->Panel();
        p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(4));
        p.txtProductID->setText("42");
        s.window->chkRemoveOld->setChecked(replace);
        if (!replace) {
            fixture::WriteBytes(dir.file("old3_new.jnx"), {1});
            s.window->CmdSalvar->click();
            ASSERT_EQ(s.presenter.shown.size(), 1u);
            EXPECT_EQ(s.presenter.last()->preferred, ui::MessageAnswer::No);
            EXPECT_EQ(fixture::ReadBytes(dir.file("old3_new.jnx")), fixture::Bytes{1});
            s.presenter.answers.push_back(ui::MessageAnswer::Yes);
        }
        s.window->CmdSalvar->click();
        EXPECT_TRUE(s.window->CmdSalvar->isEnabled());
        EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Information);
        EXPECT_EQ(s.LastText(), "Updated OK: 1\r\nCreated OK: 1\r\nErrors: 0\r\n");
        // The results list names each map and what was done to it.
        const auto& results = s.presenter.last()->results;
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0].first.toStdString(), dir.file("new4.jnx"));  // the folder's order
        EXPECT_EQ(results[0].second, "updated");
        EXPECT_EQ(results[1].second,
                  replace ? "rewritten as a new file; the old one was deleted" : "created old3_new.jnx");
        // The folder was reloaded, with no row checked.
        EXPECT_EQ(s.window->Table().rows.size(), replace ? 2u : 3u);
        EXPECT_EQ(s.Field(replace ? "old3.jnx" : "old3_new.jnx", BatchModel::kVersion), "4");
        EXPECT_EQ(s.Field("new4.jnx", BatchModel::kGroup), "42");
        EXPECT_EQ(s.window->Model().CheckedCount(), 0u);
    }
}

TEST(BatchCommands, EveryCommandRefusesWithAWarningAndTouchesNothing) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "a.jnx", 4, {4777});
    fixture::WriteBytes(dir.file("bad.jnx"), {1, 2});
    const auto before = fixture::ReadBytes(dir.file("a.jnx"));
    auto refuse = [&](std::initializer_list<void (BatchWindow::*)()> commands) {
        for (auto command : commands) {
            s.presenter.clear();
            (s.window.get()->*command)();
            ASSERT_EQ(s.presenter.shown.size(), 1u);
            EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Warning) << s.LastText();
        }
    };
    refuse({&BatchWindow::OnSave, &BatchWindow::OnMerge});  // no folder
    s.Load(dir.path());
    refuse({&BatchWindow::OnSave, &BatchWindow::OnDelete});  // nothing checked
    s.Check({"a.jnx"});
    refuse({&BatchWindow::OnSplit, &BatchWindow::OnMerge});  // no level ticked; one map to join
    s.Check({"bad.jnx"});
    refuse({&BatchWindow::OnSave});  // an unreadable map checked
    EXPECT_EQ(fixture::ReadBytes(dir.file("a.jnx")), before);
    EXPECT_EQ(dir.list(), (Names{"a.jnx", "bad.jnx"}));
}

// Delete asks first; each command empties the checks and reloads the folder.
TEST(BatchCommands, DeleteSplitAndMergeReloadTheGrid) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "coarse.jnx", 4, {76437, 19109});
    for (const char* name : {"fine.jnx", "x.jnx", "y.jnx"}) Write(dir, name, 4, {4777});
    s.Load(dir.path());
    s.Check({"x.jnx", "y.jnx"});
    s.presenter.answers = {ui::MessageAnswer::No};
    s.window->cmdborrar->click();
    EXPECT_EQ(s.presenter.last()->buttons, ui::MessageButtons::YesNo);
    EXPECT_EQ(s.presenter.last()->preferred, ui::MessageAnswer::No);
    EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Question);
    EXPECT_EQ(dir.list().size(), 4u);
    s.presenter.answers = {ui::MessageAnswer::Yes};
    s.window->cmdborrar->click();
    EXPECT_EQ(s.LastText(), "Deleted OK.");
    ASSERT_EQ(s.presenter.last()->results.size(), 2u);
    EXPECT_EQ(s.presenter.last()->results[1].second, "deleted");
    EXPECT_EQ(s.window->Model().rowCount(), 2);

    s.Check({"coarse.jnx"});
    s.window->Panel().chkSplitOPriority[1]->setChecked(true);
    s.window->SplitJNX->click();
    EXPECT_EQ(s.LastText(), "Extracted OK: 1\r\nErrors: 0\r\n");
    ASSERT_EQ(s.presenter.last()->results.size(), 1u);
    EXPECT_EQ(s.presenter.last()->results[0].second, "split into coarse_Level2.jnx");
    EXPECT_EQ(s.Field("coarse_Level2.jnx", BatchModel::kLevels), "1");
    EXPECT_FALSE(s.window->Panel().chkSplitOPriority[1]->isChecked());

    s.Check({"coarse.jnx", "fine.jnx"});
    s.window->joinjnx->click();
    EXPECT_EQ(s.LastText().rfind("Merged OK.\n" + dir.path(), 0), 0u) << s.LastText();
    EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Information);
    const Names names = dir.list();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_NE(names[0].find("join"), std::string::npos);  // the date sorts first
    EXPECT_EQ(s.Field(names[0], BatchModel::kLevels), "3");
    EXPECT_EQ(s.window->Model().CheckedCount(), 0u);
}

// Keys and highlights: Space checks the highlighted rows, Escape keeps a loaded folder,
// the command keys run their commands, "(keep)" and Clear give back each file's values.
TEST(BatchKeys, SpaceEscapeShortcutsAndKeep) {
    Rig s;
    fixture::TempDir dir;
    for (const char* name : {"a.jnx", "b.jnx", "c.jnx"}) Write(dir, name, 4, {4777});
    s.Load(dir.path());
    BatchWindow& w = *s.window;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTableView* grid = w.SSUltraGrid1;
    // A loaded folder's grid has the keys at once, on its first row.
    ASSERT_EQ(w.focusWidget(), grid);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(w.Model().Checked(), batch::Selection{0});
    QTest::keyClick(grid, Qt::Key_Space);
    grid->setFocus();
    grid->setCurrentIndex(w.Model().index(0, BatchModel::kTiles));
    grid->selectionModel()->select(w.Model().index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(grid, Qt::Key_Space);
    const auto checks = [&] {
        std::string marks;
        for (int row = 0; row < w.Model().rowCount(); ++row) marks += w.Model().IsChecked(row) ? 'x' : '-';
        return marks;
    };
    EXPECT_EQ(checks(), "x-x");
    EXPECT_EQ(w.lblChecked->text(), "2 of 3 maps checked");
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(checks(), "---");

    QTest::keyClick(grid, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible() && w.Table().rows.size() == 3u);
    // A shortcut presses its button and releases it, clicking, a moment later.
    auto press = [&](QPushButton* button, Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(grid, key, modifiers);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !button->isDown(); }));
    };
    press(w.CmdSalvar, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Warning);
    s.Check({"b.jnx"});
    press(w.cmdborrar, Qt::Key_Delete, Qt::NoModifier);  // answered No
    EXPECT_EQ(s.presenter.last()->buttons, ui::MessageButtons::YesNo);
    EXPECT_EQ(dir.list().size(), 3u);

    auto& p = w.Panel();
    auto keepsAll = [&] { return RequestOf(p) == edit::EditRequest{}; };
    EXPECT_TRUE(keepsAll() && p.cboNivel[0]->currentText() == "(keep)");
    p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(3));
    p.cboNivel[0]->setCurrentIndex(3);
    EXPECT_FALSE(keepsAll());
    p.cboActualizar->setCurrentIndex(0);
    p.cboNivel[0]->setCurrentIndex(0);
    EXPECT_TRUE(keepsAll() && p.txtDrawOrder->isVisibleTo(&w));
    p.PickFamily(1);
    p.cboNivel[4]->setCurrentIndex(2);
    w.cmdClearPanel->click();
    EXPECT_TRUE(keepsAll());

    w.OnSelectNone();
    w.ResetWindow();
    QTest::keyClick(grid, Qt::Key_Escape);  // nothing loaded: nothing to lose
    EXPECT_FALSE(w.isVisible());
}

// A cut cell tells its text; an unreadable map is never OK for the device and says why;
// a highlighted obsolete row stays red.
TEST(BatchGrid, CutCellsAndUnreadableMapsExplain) {
    Rig s;
    fixture::TempDir dir;
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 2);
    recipe.groupName = std::string(60, 'G') + " the end";
    for (auto& tile : recipe.levels[0].tiles) tile.bounds = {90, 150, 60, 70};  // inside the map
    const fixture::Bytes whole = fixture::BuildJnx(recipe).bytes;
    fixture::WriteBytes(dir.file("long.jnx"), whole);
    fixture::WriteBytes(dir.file("cut.jnx"), fixture::Bytes(whole.begin(), whole.end() - 200));
    Write(dir, "old.jnx", 3, {4777}, true);
    s.Load(dir.path());
    BatchWindow& w = *s.window;
    QTableView* grid = w.SSUltraGrid1;

    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("lblCrowded"))->isHidden());
    const int longRow = s.Row("long.jnx"), oldRow = s.Row("old.jnx");
    // The last column: what the device makes of each map, the findings on hover.
    const QModelIndex device = w.Model().index(longRow, BatchModel::kDevice);
    EXPECT_EQ(device.data().toString(), QStringLiteral("1 warning"));
    EXPECT_TRUE(device.data(Qt::ToolTipRole).toString().contains(QStringLiteral("product_id_copy")));
    // A map cut short within its tiles is never OK: it says why, naming the file.
    const QModelIndex cut = w.Model().index(s.Row("cut.jnx"), BatchModel::kDevice);
    EXPECT_NE(cut.data().toString(), ui::DeviceCheckLine::Counts({}));
    EXPECT_TRUE(cut.data(Qt::ToolTipRole).toString().contains(QString::fromStdString(dir.file("cut.jnx"))));
    const QRect cell = grid->visualRect(w.Model().index(longRow, BatchModel::kGroupName));
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &help);
    EXPECT_TRUE(QToolTip::text().startsWith(QString::fromStdString(recipe.groupName)))
        << QToolTip::text().toStdString();
    grid->selectRow(oldRow);
    const QRect row = grid->visualRect(w.Model().index(oldRow, BatchModel::kGroupName));
    const QColor c = grid->viewport()->grab(row).toImage().pixelColor(2, row.height() / 2);
    EXPECT_GT(c.red(), c.blue() + 40);
}

// The real box: Enter answers the preferred button; the kind of box gives both its title
// and its icon.
TEST(MessageBoxes, EnterPressesThePreferredAnswerAndTheKindGivesTitleAndIcon) {
    ui::QtMessagePresenter real;
    QStringList seen;  // each box's title and icon
    const auto answer = [&seen] {
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen << box->windowTitle() + QString::number(box->icon());
            QTest::keyClick(box, Qt::Key_Return);
        });
    };
    for (const auto preferred : {ui::MessageAnswer::No, ui::MessageAnswer::Yes}) {
        answer();
        EXPECT_EQ(real.Question("Delete 2 files?", preferred), preferred == ui::MessageAnswer::Yes);
    }
    answer(), real.Error("x"), answer(), real.Refusal("x"), answer(), real.Information("x");
    EXPECT_EQ(seen.join(' '), "Question4 Question4 Error3 Warning2 Information1");
}

// More maps in one folder than a unit loads: said above the grid.
TEST(BatchGrid, AFolderOfMoreMapsThanAUnitLoadsIsSaid) {
    Rig s;
    fixture::TempDir dir;
    const fixture::Bytes map = fixture::BuildJnx(fixture::SimpleRecipe(4, 1, 1)).bytes;
    for (int i = 0; i <= jnx::device::kMaxFiles; ++i) fixture::WriteBytes(dir.file("m" + std::to_string(i) + ".jnx"), map);
    s.Load(dir.path());
    const QLabel* notice = s.window->findChild<QLabel*>(QStringLiteral("lblCrowded"));
    EXPECT_FALSE(notice->isHidden());
}

// The pane beside the grid outlines the highlighted rows' maps where their bounds put
// them: shared ground overlaps, distant ground does not, and a square degree keeps the
// shape its latitude gives it.
TEST(BatchGrid, CoveragePaneOutlinesTheHighlightedMaps) {
    Rig s;
    s.window->resize(1024, 768);
    fixture::TempDir dir;
    auto map = [&](const std::string& name, double north, double east, double south, double west) {
        fixture::JnxRecipe recipe = fixture::SimpleRecipe(4, 1, 1);
        const auto units = [](double degrees) { return static_cast<std::int32_t>(degrees * 2147483648.0 / 180.0); };
        recipe.bounds = {units(north), units(east), units(south), units(west)};
        fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
    };
    map("a.jnx", 43, 2, 42, 1);
    map("b.jnx", 43.5, 2.5, 42.5, 1.5);  // shares a's north-east quarter
    map("c.jnx", 41, 4, 40, 3);
    fixture::WriteBytes(dir.file("d.jnx"), {9, 9, 9});  // unreadable: nothing to outline
    s.Load(dir.path());
    auto* pane = s.window->findChild<batchui::CoveragePane*>(QStringLiteral("coveragePane"));
    ASSERT_NE(pane, nullptr);
    QTableView* grid = s.window->SSUltraGrid1;
    const QString empty = QStringLiteral("Highlight maps to see where they lie");
    EXPECT_EQ(pane->Notice(), empty);

    grid->selectAll();
    std::vector<QRectF> rects = pane->OutlineRects();
    ASSERT_EQ(rects.size(), 3u);  // a, b, c in the grid's order
    EXPECT_TRUE(pane->Notice().isEmpty());
    EXPECT_TRUE(rects[0].intersects(rects[1]));
    EXPECT_FALSE(rects[2].intersects(rects[0]) || rects[2].intersects(rects[1]));
    const QRectF all = rects[0] | rects[1] | rects[2];
    EXPECT_TRUE(QRectF(pane->rect()).contains(all));
    EXPECT_TRUE(all.width() > 0.8 * pane->width() || all.height() > 0.8 * pane->height());
    const double middle = (43.5 + 40) / 2 * M_PI / 180;
    EXPECT_NEAR(rects[0].width() / rects[0].height(), std::cos(middle), 0.01);

    grid->clearSelection();
    EXPECT_TRUE(pane->OutlineRects().empty());
    EXPECT_EQ(pane->Notice(), empty);
    grid->selectRow(s.Row("c.jnx"));
    grid->selectionModel()->select(s.window->Model().index(s.Row("d.jnx"), 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    rects = pane->OutlineRects();
    ASSERT_EQ(rects.size(), 1u);  // fitted to c alone
    EXPECT_TRUE(rects[0].width() > 0.8 * pane->width() || rects[0].height() > 0.8 * pane->height());
}

// In Spanish, whose captions run longest, on a 1024 x 768 screen: every caption shows
// whole. The window is laid out by layouts only, so no control can lie over another.
TEST(BatchLayout, SpanishCaptionsFitAt1024By768) {
    ASSERT_TRUE(ui::InstallLanguage(QStringLiteral("ESP")));
    Rig s;
    s.window->resize(1024, 768);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    BatchWindow& w = *s.window;
    EXPECT_LE(w.minimumSizeHint().width(), 1024);
    for (QWidget* holder : {static_cast<QWidget*>(&w), w.picDown, static_cast<QWidget*>(w.Panel().Frame1)})
        for (QWidget* c : holder->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (c->isVisible() && (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c))) {
                EXPECT_TRUE(c->width() >= c->sizeHint().width() && c->height() >= c->minimumSizeHint().height())
                    << c->objectName().toStdString() << " " << c->width() << " < " << c->sizeHint().width();
            }
    ui::InstallLanguage(QStringLiteral("ENG"));
}

}  // namespace

// Counts take the plural form of the windows' language, and numbers its separators (a
// count of four digits is grouped too, as Spanish alone would not); a language without a
// file is English. A device finding is worded wholly in the language, its numbers too,
// with only its code apart.
TEST(Language, PluralsAndNumbersFollowTheLanguage) {
    const char* cases[][4] = {
        {"ENG", "Delete 1 file? Delete 8,404 files?", "8,404 30,062 1.50",
         "warning (level 2, tile 1,200): the JPEG is 1,024 x 8 pixels, the tile table says 256 x 256 "
         "[tile_size_mismatch]\n"
         "error: the map's bounds are not an area: north 95.000000, east -0.500000, south 1.250000, west 2.000000 "
         "[bounds_invalid]"},
        {"ESP", "Va a borrar 1 fichero, ¿está seguro? Va a borrar 8.404 ficheros, ¿está seguro?", "8.404 30.062 1,50",
         "aviso (nivel 2, tesela 1.200): el JPEG mide 1.024 x 8 píxeles, la tabla de teselas dice 256 x 256 "
         "[tile_size_mismatch]\nerror: los límites del mapa no forman un área: norte 95,000000, este -0,500000, "
         "sur 1,250000, oeste 2,000000 [bounds_invalid]"},
        {"FRA", "Delete 1 file? Delete 8,404 files?", "8,404 30,062 1.50", nullptr}};
    const std::vector<check::Finding> findings = {
        {check::FindingCode::TileSizeMismatch, 2, 1200, 1024, 8, 256, 256, {}, 0},
        {check::FindingCode::BoundsInvalid, 0, 0, 95000000, -500000, 1250000, 2000000, {}, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ui::InstallLanguage(QString::fromLatin1(c[0])), c[0][0] != 'F');
        EXPECT_EQ(batchui::DeleteConfirmText(1) + ' ' + batchui::DeleteConfirmText(8404), QString::fromUtf8(c[1]));
        EXPECT_EQ(ui::Number(8404) + ' ' + ui::Number(30062) + ' ' + ui::Number(1.5, 2), c[2]);
        if (c[3]) {
            EXPECT_EQ(ui::DeviceCheckLine::Details(findings), QString::fromUtf8(c[3]));
        }
    }
    ui::InstallLanguage(QStringLiteral("ENG"));
}
