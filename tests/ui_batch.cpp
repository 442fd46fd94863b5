// The batch window driven offscreen: the grid, the selection buttons, the panel's
// reactions, navigation and reset, and the batch commands checked by reading their
// results back and counting the files left in the folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "jnx/reader.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "settings/settings.h"
#include "support/jnx_builder.h"
#include "ui/batch/batch_folders.h"
#include "ui/batch/batch_model.h"
#include "ui/batch/batch_panel.h"
#include "ui/batch/batch_window.h"
#include "ui/common/message_presenter.h"

// Readable failures for Qt text.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using batchui::BatchWindow;

// A settings file beside the fixtures: the shipped one with the language and mode asked.
struct Rig {
    fixture::TempDir iniDir;
    std::string iniPath;
    std::unique_ptr<settings::Settings> settings;
    settings::SettingsTables tables;
    ui::RecordingMessagePresenter presenter;
    std::unique_ptr<BatchWindow> window;

    explicit Rig(const std::string& lang = "ENG", int userLevel = 1) {
        iniPath = iniDir.file("Tessaly.ini");
        fixture::WriteBytes(iniPath, fixture::ReadBytes(TESSALY_INI_PATH));
        platform::IniWrite(iniPath, "Preferences", "Lang", lang);
        platform::IniWrite(iniPath, "Preferences", "UserLevel", std::to_string(userLevel));
        platform::IniWrite(iniPath, "Groups", "Group1", "12/Topo North");
        platform::IniWrite(iniPath, "Groups", "GroupZooms1", "4,-2,6,-1,-2");
        platform::IniWrite(iniPath, "Groups", "Group2", "345/Sea Charts");
        settings = std::make_unique<settings::Settings>(iniPath);
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
            if (rows[i].FileName() == fileName) return static_cast<int>(i);
        return -1;
    }
    void Check(const std::string& fileName) {
        const int r = Row(fileName);
        ASSERT_GE(r, 0) << fileName;
        auto& model = window->Model();
        model.setData(model.index(r, batch::kSelected), Qt::Checked, Qt::CheckStateRole);
    }
    QString LastText() const { return presenter.last() ? presenter.last()->text : QString(); }
};

fixture::JnxRecipe Recipe(int version, std::vector<std::int32_t> scales, int tiles = 2) {
    fixture::JnxRecipe recipe = fixture::SimpleRecipe(version, static_cast<int>(scales.size()), tiles);
    for (std::size_t i = 0; i < scales.size(); ++i) recipe.levels[i].scale = scales[i];
    return recipe;
}

template <class Folder>
void Write(const Folder& dir, const std::string& name, const fixture::JnxRecipe& recipe) {
    fixture::WriteBytes(dir.file(name), fixture::BuildJnx(recipe).bytes);
}

fixture::JnxRecipe Obsolete(int version) {
    auto recipe = Recipe(version, {4777});
    recipe.withMapBlock = false;
    recipe.gap = 1024;
    return recipe;
}

jnx::JnxDocument Read(const std::string& path, bool tiles = true) {
    jnx::JnxDocument doc;
    std::int32_t total = 0;
    std::string error;
    EXPECT_TRUE(jnx::ReadJnx(doc, path, total, error, tiles)) << path << ": " << error;
    return doc;
}

// The stored image bytes of every tile, in table order.
std::vector<fixture::Bytes> Images(const std::string& path) {
    const jnx::JnxDocument doc = Read(path);
    const fixture::Bytes bytes = fixture::ReadBytes(path);
    std::vector<fixture::Bytes> images;
    for (const auto& t : doc.Tiles) {
        if (t.DataOffset < 0 || t.DataSize < 0 ||
            std::int64_t(t.DataOffset) + t.DataSize > static_cast<std::int64_t>(bytes.size())) {
            ADD_FAILURE() << "tile outside " << path;
            return images;
        }
        images.emplace_back(bytes.begin() + t.DataOffset, bytes.begin() + t.DataOffset + t.DataSize);
    }
    return images;
}

// --- The grid ------------------------------------------------------------------------

TEST(BatchGrid, RowsColumnsColoursAndChecks) {
    Rig s;
    fixture::TempDir dir;
    auto prioritised = Recipe(4, {76437, 19108, 4777});  // level 2 just below its standard scale
    Write(dir, "a.jnx", prioritised);
    Write(dir, "b.JNX", Obsolete(3));
    fixture::WriteBytes(dir.file("c.txt"), {1, 2, 3});
    fixture::WriteBytes(dir.file("d.jnx"), {9, 9, 9});
    s.Load(dir.path());

    auto& model = s.window->Model();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(s.window->ProgressBar1->maximum(), 4);  // every file of the folder, JNX or not
    EXPECT_EQ(s.window->ProgressBar1->value(), 4);
    EXPECT_EQ(s.settings->ReadSetting("Preferences", "BatchDefaultDir"), s.window->CurrentFolder());

    QTableView* grid = s.window->SSUltraGrid1;
    for (int c = 0; c < batch::kColumnCount; ++c) {
        const bool hidden = (c >= batch::kPriority1 && c < batch::kPriority1 + 5) || c >= batch::kFullFileName;
        EXPECT_EQ(grid->isColumnHidden(c), hidden) << c;
    }
    EXPECT_EQ(model.headerData(batch::kGroupName, Qt::Horizontal).toString(), "Group Name");
    EXPECT_EQ(model.headerData(batch::kZoomLevel1 + 2, Qt::Horizontal).toString(), "Zoom 3");
    EXPECT_EQ(model.headerData(batch::kFilename, Qt::Horizontal).toString(), "Filename");
    EXPECT_EQ(grid->columnWidth(batch::kGroupName), 3135 / 15);
    EXPECT_EQ(grid->columnWidth(batch::kSelected), 315 / 15);

    const int a = s.Row("a.jnx"), b = s.Row("b.JNX");
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    const int bad = 3 - a - b;
    EXPECT_EQ(model.data(model.index(bad, batch::kGroupID)).toString(), "??");
    EXPECT_EQ(model.data(model.index(bad, batch::kFilename)).toString().toStdString(), dir.file("d.jnx"));

    auto red = [&](int row) {
        const QVariant v = model.data(model.index(row, batch::kGroupName), Qt::ForegroundRole);
        return v.isValid() && v.value<QBrush>().color() == QColor(255, 0, 0);
    };
    EXPECT_TRUE(red(b));
    EXPECT_FALSE(red(a));
    auto bold = [&](int row, int level) {
        const QVariant v = model.data(model.index(row, batch::kZoomLevel1 + level), Qt::FontRole);
        return v.isValid() && v.value<QFont>().bold();
    };
    EXPECT_FALSE(bold(a, 0));
    EXPECT_TRUE(bold(a, 1));
    EXPECT_FALSE(bold(b, 1));  // a one-level file: cells 2 to 5 empty, not bold
    EXPECT_TRUE(model.data(model.index(b, batch::kZoomLevel1 + 1)).toString().isEmpty());

    // Only the check column and the file name can be changed.
    EXPECT_TRUE(model.flags(model.index(a, batch::kSelected)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model.flags(model.index(a, batch::kFilename)) & Qt::ItemIsEditable);
    for (int c : {batch::kGroupID, batch::kGroupName, batch::kZoomLevel1, batch::kDrawOrder})
        EXPECT_FALSE(model.flags(model.index(a, c)) & Qt::ItemIsEditable) << c;
    EXPECT_FALSE(model.setData(model.index(a, batch::kGroupName), "x", Qt::EditRole));

    EXPECT_TRUE(model.setData(model.index(a, batch::kSelected), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(s.window->Table().rows[a][batch::kSelected], "1");
    EXPECT_EQ(model.data(model.index(a, batch::kSelected), Qt::CheckStateRole).toInt(), Qt::Checked);
    model.setData(model.index(a, batch::kSelected), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(s.window->Table().rows[a][batch::kSelected], "0");

    EXPECT_TRUE(model.setData(model.index(a, batch::kFilename), "renamed.jnx", Qt::EditRole));
    EXPECT_EQ(s.window->Table().rows[a].FileName(), "renamed.jnx");
    EXPECT_EQ(s.window->Table().rows[a].FullFileName(), dir.file("a.jnx"));
}

TEST(BatchGrid, SelectionButtons) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, {4777}));
    Write(dir, "b.jnx", Obsolete(4));
    Write(dir, "c.jnx", Recipe(3, {1194}));
    s.Load(dir.path());
    const auto& rows = s.window->Table().rows;
    ASSERT_EQ(rows.size(), 3u);

    s.window->cmdSelectAll->click();
    for (const auto& r : rows) EXPECT_TRUE(r.Checked());
    s.window->cmdSelectObsoletos->click();  // clears the others, even though they were checked
    EXPECT_FALSE(rows[0].Checked());
    EXPECT_TRUE(rows[1].Checked());
    EXPECT_FALSE(rows[2].Checked());
    s.window->cmdSelectNothing->click();
    for (const auto& r : rows) EXPECT_FALSE(r.Checked());
}

TEST(BatchGrid, ValueListStopsAtFirstEmptyEntry) {
    Rig s;
    platform::IniWrite(s.iniPath, "ZoomLevels", "Level3", "");
    fixture::TempDir dir;
    s.Load(dir.path());
    const auto& list = s.window->Model().ZoomValueList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].first, "1");
    EXPECT_EQ(list[0].second, "8/5 m");
    EXPECT_EQ(s.window->Model().rowCount(), 0);
    EXPECT_EQ(s.window->ProgressBar1->maximum(), 1);  // an empty folder
}

// --- The panel -----------------------------------------------------------------------

TEST(BatchPanel, NumberBoxesVersionAndFamilyTyping) {
    Rig s;
    auto& p = s.window->Panel();
    QTest::keyClicks(p.txtProductID, "1a2");
    EXPECT_EQ(p.txtProductID->text(), "12");
    QTest::keyClicks(p.txtProductID, "3");  // a third digit is not taken
    EXPECT_EQ(p.txtProductID->text(), "12");
    QTest::keyClick(p.txtProductID, Qt::Key_Backspace);
    EXPECT_EQ(p.ProductIdText(), "1");
    QTest::keyClicks(p.txtDrawOrder, "4x56");
    EXPECT_EQ(p.txtDrawOrder->text(), "456");

    EXPECT_FALSE(p.cboFamily->isVisibleTo(s.window.get()));
    EXPECT_TRUE(p.txtFamiliGroup->isVisibleTo(s.window.get()));

    p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(3));
    EXPECT_FALSE(p.txtDrawOrder->isVisibleTo(s.window.get()));
    EXPECT_FALSE(p.lblDrawOrder->isVisibleTo(s.window.get()));
    p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(4));
    EXPECT_TRUE(p.txtDrawOrder->isVisibleTo(s.window.get()));
    EXPECT_TRUE(p.txtDrawOrder->isEnabled());
    EXPECT_EQ(p.Values(false).targetVersion, 4);
    EXPECT_EQ(p.Values(false).drawOrderText, "456");

    p.cboNivel[1]->setCurrentIndex(2);
    EXPECT_EQ(p.LevelScaleChoice(1), s.tables.ZoomTable[2].StandardScale);
    EXPECT_FALSE(p.LevelScaleChoice(0).has_value());
    EXPECT_FALSE(p.LevelScaleChoice(5).has_value());
    p.chkSplitOPriority[4]->setChecked(true);
    EXPECT_TRUE(p.LevelPriority(4));
    EXPECT_FALSE(p.IsEditorWindow());

    // Off the preset mode a group pick sets the texts but no zoom choice.
    p.PickFamily(0);
    EXPECT_EQ(p.ProductIdText(), "12");
    EXPECT_EQ(p.FamilyGroupText(), "Topo North");
    EXPECT_EQ(p.cboNivel[0]->currentIndex(), -1);
    p.PickFamily(1);
    EXPECT_EQ(p.ProductIdText(), "345");  // a product ID from the list arrives whole
}

TEST(BatchPanel, GroupPresetsInPresetMode) {
    Rig s("ENG", 2);
    auto& p = s.window->Panel();
    EXPECT_TRUE(p.cboFamily->isVisibleTo(s.window.get()));
    EXPECT_FALSE(p.txtFamiliGroup->isVisibleTo(s.window.get()));
    for (int k = 0; k < 5; ++k) p.cboNivel[k]->setCurrentIndex(1);
    p.PickFamily(0);  // GroupZooms1 = 4,-2,6,-1,-2: indexes 3, keep, 5, none, keep
    EXPECT_EQ(p.cboNivel[0]->currentIndex(), 3);
    EXPECT_EQ(p.cboNivel[1]->currentIndex(), 1);
    EXPECT_EQ(p.cboNivel[2]->currentIndex(), 5);
    EXPECT_EQ(p.cboNivel[3]->currentIndex(), -1);
    EXPECT_EQ(p.cboNivel[4]->currentIndex(), 1);
    EXPECT_EQ(p.FamilyGroupText(), "Topo North");

    // Typing into the list's text reaches the hidden box; the product ID stays.
    p.cboFamily->setEditText("My own group");
    EXPECT_EQ(p.FamilyGroupText(), "My own group");
    EXPECT_EQ(p.ProductIdText(), "12");
}

// --- Window: navigation, reset, layout, captions ------------------------------------

TEST(BatchWindowNav, StartFolderNavigationAndReset) {
    fixture::TempDir dir;
    platform::CreateFolderPath(dir.file("sub/deeper"));
    Write(dir, "a.jnx", Recipe(4, {4777}));
    Write(dir, "sub/b.jnx", Recipe(4, {4777}));
    {
        Rig s;
        platform::IniWrite(s.iniPath, "Preferences", "BatchDefaultDir", dir.file("gone"));
        BatchWindow second(*s.settings, s.tables, s.presenter, nullptr);
        EXPECT_EQ(second.CurrentFolder(), batchui::CleanFolderPath(platform::ProgramFolder()));
    }
    Rig s;
    platform::IniWrite(s.iniPath, "Preferences", "BatchDefaultDir", dir.path());
    BatchWindow w(*s.settings, s.tables, s.presenter, nullptr);
    EXPECT_EQ(w.CurrentFolder(), dir.path());

    // The folder list shows the way down and the subfolders; one click opens an entry.
    QListWidgetItem* sub = nullptr;
    for (int i = 0; i < w.Dir1->count(); ++i)
        if (w.Dir1->item(i)->data(Qt::UserRole).toString().toStdString() == dir.file("sub")) sub = w.Dir1->item(i);
    ASSERT_NE(sub, nullptr);
    emit w.Dir1->itemClicked(sub);
    EXPECT_EQ(w.CurrentFolder(), dir.file("sub"));
    EXPECT_FALSE(w.OpenFolder(dir.file("missing")));
    platform::CreateFolderPath(dir.file("sub/vanishing"));
    ASSERT_TRUE(w.OpenFolder(dir.file("sub/vanishing")));
    std::filesystem::remove(dir.file("sub/vanishing"));
    w.OnLoad();  // a message, not an abort
    EXPECT_EQ(s.presenter.last()->text.toStdString(), "The folder cannot be read: " + dir.file("sub/vanishing"));
    ASSERT_TRUE(w.OpenFolder(dir.file("sub")));
    EXPECT_EQ(w.CurrentFolder(), dir.file("sub"));
    w.PickDrive(dir.file("no-such-drive"));  // back to the folder's own drive
    EXPECT_EQ(w.CurrentFolder(), dir.file("sub"));
    EXPECT_EQ(w.Drive1->currentText().toStdString(),
              batchui::DriveOf(batchui::SystemDrives(), dir.file("sub")));

    // Subfolders on request, the folder's own files first.
    w.show();
    ASSERT_TRUE(w.OpenFolder(dir.path()));
    w.chkRecursive->setChecked(true);
    w.OnLoad();
    ASSERT_EQ(w.Table().rows.size(), 2u);
    EXPECT_EQ(w.Table().rows[0].FileName(), "a.jnx");
    EXPECT_EQ(w.Table().rows[1].FileName(), "b.jnx");

    // A second showing starts empty, whatever the first left behind.
    w.cmdSelectAll->click();
    w.chkRemoveOld->setChecked(true);
    w.Panel().txtProductID->setText("5");
    w.Panel().cboActualizar->setCurrentIndex(0);
    w.Panel().cboNivel[2]->setCurrentIndex(1);
    w.Panel().chkSplitOPriority[0]->setChecked(true);
    w.hide();
    w.show();
    EXPECT_EQ(w.Model().rowCount(), 0);
    EXPECT_FALSE(w.chkRecursive->isChecked());
    EXPECT_FALSE(w.chkRemoveOld->isChecked());
    EXPECT_TRUE(w.Panel().txtProductID->text().isEmpty());
    EXPECT_EQ(w.Panel().cboActualizar->currentIndex(), -1);
    EXPECT_EQ(w.Panel().cboNivel[2]->currentIndex(), -1);
    EXPECT_FALSE(w.Panel().chkSplitOPriority[0]->isChecked());
    EXPECT_EQ(w.CurrentFolder(), dir.path());  // the folder list keeps its place
}

TEST(BatchWindowNav, DrivesAreMountPoints) {
    const std::string mounts =
        "overlay / overlay rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n"
        "/dev/sdb1 /media/USB\\040Stick vfat rw 0 0\n"
        "/dev/sda2 /home ext4 rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n";
    const auto drives = batchui::DrivesFromMounts(mounts);
    EXPECT_EQ(drives, (std::vector<std::string>{"/", "/home", "/media/USB Stick"}));
    EXPECT_EQ(batchui::DrivesFromMounts(""), std::vector<std::string>{"/"});
    EXPECT_EQ(batchui::DriveOf(drives, "/home/ana/maps"), "/home");
    EXPECT_EQ(batchui::DriveOf(drives, "/homework"), "/");
    EXPECT_EQ(batchui::DriveOf(drives, "/media/USB Stick"), "/media/USB Stick");
}

TEST(BatchWindowNav, LayoutFollowsTheWidth) {
    Rig s;
    BatchWindow& w = *s.window;
    w.resize(BatchWindow::kDesignWidth, 700);
    const int groupName = w.SSUltraGrid1->columnWidth(batch::kGroupName);
    const int fileName = w.SSUltraGrid1->columnWidth(batch::kFilename);
    const QRect dir = w.Dir1->geometry(), drive = w.Drive1->geometry(), frame = w.Panel().Frame1->geometry();
    const int family = w.Panel().txtFamiliGroup->width();
    const int bar = w.ProgressBar1->width(), load = w.cmdCargar->x(), save = w.CmdSalvar->x();

    w.resize(BatchWindow::kDesignWidth + 60, 700);
    EXPECT_EQ(w.SSUltraGrid1->columnWidth(batch::kGroupName), groupName + 30);
    EXPECT_EQ(w.SSUltraGrid1->columnWidth(batch::kFilename), fileName + 30);
    EXPECT_EQ(w.Dir1->width(), dir.width() + 30);
    EXPECT_EQ(w.Drive1->width(), drive.width() + 30);
    EXPECT_EQ(w.Panel().Frame1->width(), frame.width() + 30);
    EXPECT_EQ(w.Panel().Frame1->x(), w.Drive1->x() + w.Drive1->width() + 4);
    EXPECT_EQ(w.Panel().txtFamiliGroup->width(), family + 30);
    EXPECT_EQ(w.ProgressBar1->width(), bar + 60);
    EXPECT_EQ(w.cmdCargar->x(), load + 60);
    EXPECT_EQ(w.CmdSalvar->x(), save + 60);
    EXPECT_EQ(w.SSUltraGrid1->width(), w.width());
    EXPECT_EQ(w.SSUltraGrid1->height() + w.picDown->height(), w.height());
    EXPECT_EQ(w.picDown->y(), w.height() - w.picDown->height());

    w.resize(BatchWindow::kDesignWidth - 200, 700);  // narrower than designed: grows back
    EXPECT_EQ(w.width(), BatchWindow::kDesignWidth);
}

TEST(BatchWindowNav, CaptionsInBothLanguages) {
    Rig es("ESP");
    EXPECT_EQ(es.window->cmdCargar->text(), "Cargar");
    EXPECT_EQ(es.window->chkRecursive->text(), "Incluir subcarpetas");
    EXPECT_EQ(es.window->Panel().lblNivel[2]->text(), "Nivel 3");
    EXPECT_EQ(es.window->Panel().Frame1->title(), "Niveles");
    EXPECT_EQ(es.window->Model().headerData(batch::kFilename, Qt::Horizontal).toString(), "Fichero");
    EXPECT_EQ(es.window->Panel().chkSplitOPriority[0]->toolTip(), "Separar este nivel / Priorizar");
    Rig en("esp");  // only "ESP" exactly is Spanish
    EXPECT_EQ(en.window->cmdCargar->text(), "Load Dir");
    EXPECT_EQ(en.window->chkRemoveOld->text(), "Delete old files");
    EXPECT_EQ(en.window->Panel().lblNivel[4]->text(), "Level 5");
    EXPECT_EQ(en.window->Panel().chkSplitOPriority[1]->text(), "Split");
}

// --- Commands ------------------------------------------------------------------------

TEST(BatchCommands, SaveInPlaceAndRegenerateInOneRun) {
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replace source" : "beside the source");
        Rig s("ESP");
        fixture::TempDir dir;
        Write(dir, "old3.jnx", Recipe(3, {76437, 4777}));
        Write(dir, "new4.jnx", Recipe(4, {19109}));
        const auto images3 = Images(dir.file("old3.jnx"));
        const auto images4 = Images(dir.file("new4.jnx"));
        s.Load(dir.path());
        s.Check("old3.jnx");
        s.Check("new4.jnx");
        auto& p = s.window->Panel();
        p.cboActualizar->setCurrentIndex(p.cboActualizar->findData(4));
        p.txtProductID->setText("42");
        s.window->chkRemoveOld->setChecked(replace);

        // The commands stay disabled while files are processed.
        bool disabledDuringRun = false;
        QTimer::singleShot(0, s.window.get(), [&] {
            disabledDuringRun = s.window->Busy() && !s.window->CmdSalvar->isEnabled() &&
                                !s.window->SplitJNX->isEnabled() && !s.window->cmdCargar->isEnabled();
        });
        std::vector<std::pair<int, int>> bar;  // (maximum, value) as the run moves the bar
        QObject::connect(s.window->ProgressBar1, &QProgressBar::valueChanged, s.window.get(),
                         [&](int v) { bar.emplace_back(s.window->ProgressBar1->maximum(), v); });
        s.window->CmdSalvar->click();
        EXPECT_TRUE(disabledDuringRun);
        ASSERT_GE(bar.size(), 3u);  // once per file, then the reload's own steps
        EXPECT_EQ(bar[0], std::make_pair(2, 0));
        EXPECT_EQ(bar[1], std::make_pair(2, 1));
        EXPECT_EQ(bar[2], std::make_pair(2, 2));
        EXPECT_TRUE(s.window->CmdSalvar->isEnabled());

        ASSERT_NE(s.presenter.last(), nullptr);
        EXPECT_EQ(s.presenter.last()->title, "Info");
        EXPECT_EQ(s.presenter.last()->icon, ui::MessageIcon::Information);
        EXPECT_EQ(s.LastText(), "Actualizados OK: 1\r\nCreados OK: 1\r\nErrores: 0\r\n");

        const std::string regenerated = replace ? dir.file("old3.jnx") : dir.file("old3_new.jnx");
        EXPECT_EQ(dir.list().size(), replace ? 2u : 3u);
        const jnx::JnxDocument r = Read(regenerated);
        EXPECT_EQ(r.Header.Version, 4);
        EXPECT_EQ(r.Header.DrawOrder, 25);
        EXPECT_EQ(r.Header.ProductId, 42);
        EXPECT_EQ(Images(regenerated), images3);
        if (!replace) {
            EXPECT_EQ(Read(dir.file("old3.jnx")).Header.Version, 3);  // the source is kept
        }
        const jnx::JnxDocument u = Read(dir.file("new4.jnx"));
        EXPECT_EQ(u.Header.ProductId, 42);
        EXPECT_EQ(Images(dir.file("new4.jnx")), images4);

        // The folder was reloaded: the new file is a row, no row is checked.
        EXPECT_EQ(s.window->Table().rows.size(), dir.list().size());
        EXPECT_EQ(s.window->Table().CheckedCount(), 0u);
    }
}

TEST(BatchCommands, RenameAppliesOnlyWhenPatched) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "patch.jnx", Recipe(4, {4777}));
    Write(dir, "regen.jnx", Obsolete(4));
    s.Load(dir.path());
    auto& model = s.window->Model();
    model.setData(model.index(s.Row("patch.jnx"), batch::kFilename), "Patched Map.JNX", Qt::EditRole);
    model.setData(model.index(s.Row("regen.jnx"), batch::kFilename), "ignored.jnx", Qt::EditRole);
    s.Check("Patched Map.JNX");
    s.Check("ignored.jnx");
    s.window->OnSave();
    EXPECT_EQ(s.LastText(), "Updated OK: 1\r\nCreated OK: 1\r\nErrors: 0\r\n");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"Patched Map.JNX", "regen.jnx", "regen_new.jnx"}));
    EXPECT_GE(s.Row("Patched Map.JNX"), 0);
}

TEST(BatchCommands, ValidationRefusesBeforeTouchingFiles) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "a.jnx", Recipe(4, {4777}));
    Write(dir, "b.jnx", Recipe(3, {4777}));
    fixture::WriteBytes(dir.file("bad.jnx"), {1, 2});
    const auto before = fixture::ReadBytes(dir.file("a.jnx"));

    s.window->OnSave();  // nothing loaded yet
    EXPECT_EQ(s.LastText(), "You must load a directory.");
    EXPECT_EQ(s.presenter.last()->title, "Warning");
    s.Load(dir.path());
    s.window->OnSave();
    EXPECT_EQ(s.LastText(), "You must select at least one valid JNX file.");

    s.Check("a.jnx");
    s.window->Panel().txtProductID->setText("9");
    s.window->Panel().txtDrawOrder->setText("1x");  // pasted past the box's filter
    s.window->OnSave();
    EXPECT_EQ(s.presenter.last()->title, "Warning");
    EXPECT_EQ(s.LastText().toStdString(), batch::RefusalText(batch::Refusal::BadDrawOrder, false));
    s.window->Panel().txtDrawOrder->clear();

    auto& model = s.window->Model();
    model.setData(model.index(s.Row("b.jnx"), batch::kFilename), "b.txt", Qt::EditRole);
    s.Check("b.txt");
    s.window->OnSave();
    EXPECT_EQ(s.LastText(), "All selected files need valid filename.");

    model.setData(model.index(s.Row("b.txt"), batch::kSelected), Qt::Unchecked, Qt::CheckStateRole);
    const int badRow = s.Row(dir.file("bad.jnx"));
    ASSERT_GE(badRow, 0);
    model.setData(model.index(badRow, batch::kSelected), Qt::Checked, Qt::CheckStateRole);
    s.window->OnSave();
    EXPECT_EQ(s.LastText(), "All erroneous files must be unchecked.");
    s.window->OnSplit();
    EXPECT_EQ(s.LastText(), "All erroneous files must be unchecked.");

    EXPECT_EQ(fixture::ReadBytes(dir.file("a.jnx")), before);
    EXPECT_EQ(dir.list().size(), 3u);
}

TEST(BatchCommands, DeleteAsksFirst) {
    Rig s("ESP");
    fixture::TempDir dir;
    for (const char* name : {"a.jnx", "b.jnx", "c.jnx", "d.jnx"}) Write(dir, name, Recipe(4, {4777}));
    s.Load(dir.path());
    s.window->OnDelete();
    EXPECT_EQ(s.LastText(), QString::fromUtf8("Debe seleccionar al menos un fichero a borrar."));
    EXPECT_EQ(s.presenter.last()->title, "Aviso");

    s.Check("a.jnx");
    s.Check("b.jnx");
    s.Check("d.jnx");
    s.presenter.answers = {ui::MessageAnswer::No};
    s.window->cmdborrar->click();
    EXPECT_EQ(s.LastText(), QString::fromUtf8("Va a borrar 3 ficheros, ¿está seguro?."));
    EXPECT_EQ(s.presenter.last()->title, "Aviso");
    EXPECT_EQ(s.presenter.last()->buttons, ui::MessageButtons::YesNo);
    EXPECT_EQ(dir.list().size(), 4u);

    s.presenter.answers = {ui::MessageAnswer::Yes};
    s.window->cmdborrar->click();
    EXPECT_EQ(s.LastText(), "Borrados correctamente.");
    EXPECT_EQ(s.presenter.last()->title, QString::fromUtf8("Información"));
    EXPECT_EQ(dir.list(), std::vector<std::string>{"c.jnx"});
    ASSERT_EQ(s.window->Model().rowCount(), 1);
    EXPECT_EQ(s.window->Table().rows[0].FileName(), "c.jnx");

    Rig en;
    en.Load(dir.path());
    en.Check("c.jnx");
    en.presenter.answers = {ui::MessageAnswer::No};
    en.window->OnDelete();
    EXPECT_EQ(en.LastText(), "Delete 1 files, are you sure?.");
    EXPECT_EQ(en.presenter.last()->title, "Aviso");
}

TEST(BatchCommands, SplitSeveralFiles) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "three.jnx", Recipe(4, {76437, 19109, 4777}));
    Write(dir, "two.jnx", Recipe(3, {19109, 1194}));
    Write(dir, "one.jnx", Recipe(4, {1194}));
    const auto source = Images(dir.file("three.jnx"));
    s.Load(dir.path());
    s.Check("three.jnx");
    s.Check("two.jnx");
    auto& p = s.window->Panel();

    s.window->OnSplit();
    EXPECT_EQ(s.LastText(), "Nothing to split, you need to check levels to split.");
    p.chkSplitOPriority[0]->setChecked(true);
    s.Check("one.jnx");
    s.window->OnSplit();
    EXPECT_EQ(s.LastText(), "Any file has only one level, no need to split it.");
    s.window->Model().setData(s.window->Model().index(s.Row("one.jnx"), batch::kSelected), Qt::Unchecked,
                              Qt::CheckStateRole);

    p.chkSplitOPriority[2]->setChecked(true);
    s.window->SplitJNX->click();
    EXPECT_EQ(s.presenter.last()->title, "Info");
    EXPECT_EQ(s.LastText(), "Extracted OK: 3\r\nErrors: 0\r\n");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"one.jnx", "three.jnx", "three_Level1.jnx", "three_Level3.jnx",
                                                    "two.jnx", "two_Level1.jnx"}));
    const auto level3 = Images(dir.file("three_Level3.jnx"));
    ASSERT_EQ(level3.size(), 2u);
    EXPECT_EQ(level3[0], source[4]);
    EXPECT_EQ(level3[1], source[5]);
    EXPECT_EQ(Read(dir.file("three_Level3.jnx")).Header.LevelCount, 1);

    // The window was reset and the folder reloaded, without the subfolder option.
    EXPECT_FALSE(p.chkSplitOPriority[0]->isChecked());
    EXPECT_EQ(s.window->Table().rows.size(), 6u);
    EXPECT_EQ(s.window->Table().CheckedCount(), 0u);

    Rig es("ESP");
    es.Load(dir.path());
    es.Check("two.jnx");
    es.window->Panel().chkSplitOPriority[1]->setChecked(true);
    es.window->OnSplit();
    EXPECT_EQ(es.LastText(), "Extraidos OK: 1\r\nErrores: 0\r\n");
}

TEST(BatchCommands, MergeTwoFilesOfOneArea) {
    Rig s;
    fixture::TempDir dir;
    Write(dir, "coarse.jnx", Recipe(4, {76437, 19109}));
    Write(dir, "fine.jnx", Recipe(4, {4777}));
    s.Load(dir.path());
    s.Check("coarse.jnx");
    s.window->OnMerge();
    EXPECT_EQ(s.presenter.last()->title, "Warning");
    EXPECT_EQ(s.LastText(), "You must select at least two valid JNX file to join.");

    s.Check("fine.jnx");
    s.window->joinjnx->click();
    EXPECT_EQ(s.LastText(), "Merged OK.");
    const auto names = dir.list();
    ASSERT_EQ(names.size(), 3u);
    const std::string joined = names[0];  // the date sorts first
    EXPECT_NE(joined.find("join"), std::string::npos);
    const jnx::JnxDocument merged = Read(dir.file(joined));
    EXPECT_EQ(merged.Header.LevelCount, 3);
    auto expected = Images(dir.file("coarse.jnx"));
    for (auto& image : Images(dir.file("fine.jnx"))) expected.push_back(image);
    EXPECT_EQ(Images(dir.file(joined)), expected);
    EXPECT_EQ(s.window->Table().rows.size(), 3u);
    EXPECT_EQ(s.window->Table().CheckedCount(), 0u);
}

}  // namespace

// Shows the window on a folder of mixed files until the given seconds have passed, for
// the screenshot of the documentation: TESSALY_BATCH_SHOWCASE=<seconds>, and
// TESSALY_BATCH_SHOWCASE_LANG=ESP for the Spanish captions.
static int Showcase(int seconds) {
    fixture::TempDir top;
    platform::CreateFolderPath(top.file("maps"));
    struct Maps {
        std::string path;
        std::string file(const std::string& name) const { return path + "/" + name; }
    } dir{top.file("maps")};
    const struct {
        const char* name;
        int version;
        std::vector<std::int32_t> scales;
        std::int32_t productId;
        const char* group;
        bool obsolete;
    } files[] = {
        {"Alps_North.jnx", 4, {76437, 19109, 4777, 1194}, 3, "BirdsEye Satellite Imagery", false},
        {"Alps_South.jnx", 4, {76437, 19108, 4777}, 3, "BirdsEye Satellite Imagery", false},
        {"Coast_1995.jnx", 3, {19109, 4777}, 7, "Topo Scans", false},
        {"Harbour.jnx", 3, {1194}, 7, "Topo Scans", true},
        {"Lakes_Merged.jnx", 4, {305758, 76437, 19109, 4777, 1194}, 12, "Mapas de lagos", false},
        {"Valley_old.jnx", 4, {4777, 1193}, 12, "Mapas de lagos", true},
    };
    for (const auto& f : files) {
        fixture::JnxRecipe recipe = Recipe(f.version, f.scales, 3);
        if (f.obsolete) {
            recipe.withMapBlock = false;
            recipe.gap = 1024;
        }
        recipe.productId = f.productId;
        recipe.groupName = f.group;
        Write(dir, f.name, recipe);
    }
    fixture::WriteBytes(dir.file("broken.jnx"), {1, 2, 3});
    fixture::WriteBytes(dir.file("notes.txt"), {'h', 'i'});
    const char* lang = std::getenv("TESSALY_BATCH_SHOWCASE_LANG");
    Rig s(lang ? lang : "ENG");
    s.Load(dir.path);
    s.Check("Alps_North.jnx");
    s.Check("Coast_1995.jnx");
    s.window->Panel().cboActualizar->setCurrentIndex(1);
    s.window->Panel().chkSplitOPriority[0]->setChecked(true);
    s.window->move(0, 0);
    s.window->resize(1280, 900);
    QTimer::singleShot(seconds * 1000, qApp, &QApplication::quit);
    return QApplication::exec();
}

int main(int argc, char** argv) {
    const char* showcase = std::getenv("TESSALY_BATCH_SHOWCASE");
    // Test discovery runs the program without the test environment.
    if (!showcase && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (showcase) return Showcase(std::atoi(showcase));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
