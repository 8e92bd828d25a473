// The admin's editor of the pressure settings on the settings menu's first page: mode, line
// and value selection, the keypad, and the save into the actual settings file. Everything is
// edited on a working copy; the values in force change only when the copy is saved.
#include "app/mainwindow.h"
#include "pressure/confighandler.h"
#include "pressure/pressuresettingkeys.h"
#include "ui/settingspopup.h"

#include "ui_mainwindow.h"

#include <array>

#include <QDebug>

using namespace pressuresettingkeys;

namespace {
const char *const kActualSettingsPath = "/usr/share/vemla/resources/pressure_settings.inc";
const QString kPressureUnit = " mbar";
const QString kTimeUnit = " s";

// The buttons of the editor's first level: the two modes and the menu's other four entries.
// Choosing a mode leaves only it usable; going back to the modes makes all six usable again.
std::array<QPushButton *, 6> modeLevelButtons(const Ui::MainWindow &ui)
{
    return {ui.pushButton_settingsPressureModeSelection_DPCR,
            ui.pushButton_settingsPressureModeSelection_DMDA,
            ui.pushButton_settingsMenu_releasePressure,
            ui.pushButton_settingsMenu_password,
            ui.pushButton_settingsMenu_logFile,
            ui.pushButton_settingsMenu_more};
}

} // namespace

void MainWindow::setUpPressureEditor()
{
    connectButton(ui->pushButton_settingsPressureModeSelection_DPCR,
                  [this] { onEditorModePressed(MODE_DPCR); });
    connectButton(ui->pushButton_settingsPressureModeSelection_DMDA,
                  [this] { onEditorModePressed(MODE_DMDA); });
    const QList<QPushButton *> lines = editorLineButtons();
    for (int line = 0; line < lines.size(); ++line)
        connectButton(lines[line], [this, line] { onEditorLinePressed(line); });
    connectButton(ui->pushButton_change_1, [this] { onEditorChangePressed(1); });
    connectButton(ui->pushButton_change_2, [this] { onEditorChangePressed(2); });
    connectButton(ui->pushButton_change_3, [this] { onEditorChangePressed(3); });
    connectButton(ui->pushButton_settingsMenu_back, [this] { onEditorBackPressed(); });
    connectButton(ui->pushButton_settingsMenu_save, [this] { onEditorSavePressed(); });
    connectButton(ui->pushButton_save_settings_y, [this] { saveEditedPressureSettings(); });
    connectButton(ui->pushButton_save_settings_n,
                  [this] { ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen); });
    connect(keypadPopUp, &settingsPopUp::updatedSettVal, this, &MainWindow::onEditorValueEntered);
    openPressureEditor();
}

QList<QPushButton *> MainWindow::editorLineButtons() const
{
    return {ui->pushButton_line_1, ui->pushButton_line_2, ui->pushButton_line_3,
            ui->pushButton_active_time};
}

void MainWindow::openPressureEditor()
{
    editedPressureSettings = pressureSettings;
    showEditorModes();
}

// Level 1: both modes and the four menu buttons usable, no line or value shown.
void MainWindow::showEditorModes()
{
    editorLevel = EditorModes;
    showEditorValues(false);
    for (QPushButton *line : editorLineButtons())
        showButton(line, false);
    for (QPushButton *button : modeLevelButtons(*ui)) {
        button->setEnabled(true);
        button->setStyleSheet(rectBlueStyle);
    }
}

// Level 2: the chosen mode highlighted, everything else of level 1 locked, the four line
// buttons offered.
void MainWindow::showEditorLines()
{
    editorLevel = EditorLines;
    showEditorValues(false);
    for (QPushButton *line : editorLineButtons()) {
        showButton(line, true);
        line->setStyleSheet(rectBlueStyle);
    }
}

void MainWindow::showEditorValues(bool shown)
{
    const bool activeTime = editorLine == kActiveTimeLine;
    showButton(ui->pushButton_change_1, shown);
    ui->label_change_1_value->setVisible(shown);
    for (QWidget *widget : {static_cast<QWidget *>(ui->pushButton_change_2),
                            static_cast<QWidget *>(ui->label_change_2_value),
                            static_cast<QWidget *>(ui->pushButton_change_3),
                            static_cast<QWidget *>(ui->label_change_3_value)}) {
        widget->setVisible(shown && !activeTime);
        widget->setEnabled(shown && !activeTime);
    }
    if (!shown)
        return;
    if (activeTime) {
        ui->pushButton_change_1->setText("Active time");
        ui->label_change_1_value->setText(QString::number(editedSetting(0)) + kTimeUnit);
        return;
    }
    ui->pushButton_change_1->setText("Pre-ramp pressure");
    ui->label_change_1_value->setText(QString::number(editedSetting(QUANTITY_PRE_RAMP))
                                      + kPressureUnit);
    ui->label_change_2_value->setText(QString::number(editedSetting(QUANTITY_TARGET))
                                      + kPressureUnit);
    ui->label_change_3_value->setText(QString::number(editedSetting(QUANTITY_RAMP_UP_TIME))
                                      + kTimeUnit);
}

void MainWindow::onEditorModePressed(int mode)
{
    // The highlighted mode pressed again closes it, from the line or the value level alike.
    if (editorLevel > EditorModes) {
        showEditorModes();
        return;
    }
    editorMode = mode;
    QPushButton *chosen = mode == MODE_DMDA ? ui->pushButton_settingsPressureModeSelection_DMDA
                                            : ui->pushButton_settingsPressureModeSelection_DPCR;
    for (QPushButton *button : modeLevelButtons(*ui)) {
        button->setEnabled(button == chosen);
        button->setStyleSheet(button == chosen ? rectGreenStyle : rectGreyStyle);
    }
    showEditorLines();
}

void MainWindow::onEditorLinePressed(int line)
{
    if (editorLevel == EditorValues) {
        showEditorLines();
        return;
    }
    editorLine = line;
    const QList<QPushButton *> lines = editorLineButtons();
    for (int other = 0; other < lines.size(); ++other) {
        lines[other]->setEnabled(other == line);
        lines[other]->setStyleSheet(other == line ? rectGreenStyle : rectGreyStyle);
    }
    editorLevel = EditorValues;
    showEditorValues(true);
}

void MainWindow::onEditorBackPressed()
{
    switch (editorLevel) {
    case EditorValues:
        showEditorLines();
        break;
    case EditorLines:
        showEditorModes();
        break;
    default:
        setState(MenuState::Home);
        break;
    }
}

void MainWindow::onEditorChangePressed(int field)
{
    QString unit = kPressureUnit;
    int kind = settingsPopUp::KIND_PRESSURE;
    if (field == 1 && editorLine == kActiveTimeLine) {
        unit = kTimeUnit;
        kind = settingsPopUp::KIND_ACTIVE_TIME;
    } else {
        editorValue = field - 1;
        if (editorValue == QUANTITY_RAMP_UP_TIME) {
            unit = kTimeUnit;
            kind = settingsPopUp::KIND_RAMP_UP_TIME;
        }
    }
    keypadPopUp->reset();
    keypadPopUp->setUnit(unit);
    keypadPopUp->setKind(kind);
    keypadPopUp->setTitle(settingTitle(editorMode, editorLine, editorValue));
    // The value in force on the working copy, as its row shows it.
    keypadPopUp->setCurrentValue(QString::number(editedSetting(field - 1)) + unit);
    ui->stackedWidget->hide();
    keypadPopUp->show();
}

int MainWindow::editedSetting(int quantity) const
{
    return editedPressureSettings.value(settingKey(editorMode, editorLine, quantity), 0);
}

void MainWindow::onEditorValueEntered(int val)
{
    keypadPopUp->hide();
    editedPressureSettings.insert(settingKey(editorMode, editorLine, editorValue), val);
    showEditorValues(true);
    ui->stackedWidget->show();
}

void MainWindow::onEditorSavePressed()
{
    if (editedPressureSettings == pressureSettings) {
        showMessage("Nothing to save", "");
        return;
    }
    ui->stackedWidget->setCurrentWidget(ui->saveSettingsScreen);
}

void MainWindow::saveEditedPressureSettings()
{
    ui->stackedWidget->setCurrentWidget(ui->SettingsMenuScreen);
    // Saved values that are not on the disk would be lost at the next start without a word:
    // the operator is told, and the values in force stay those of the file.
    if (!configHandler->writeConfig(editedPressureSettings, kActualSettingsPath)) {
        showMessage("Settings not saved", "The settings file could not be written");
        return;
    }
    pressureSettings = editedPressureSettings;
    showMessage("Settings Saved", "");
}
