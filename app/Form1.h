#pragma once

#include "app/CommandRunner.h"
#include "commands/CommandContext.h"
#include "sql/ConnectionSettings.h"
#include "ui/qt/UiThread.h"
#include "ui/qt/WindowPointer.h"

#include <QWidget>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;

namespace fq::settings {
class SettingsStore;
}
namespace fq::ui {
class Dialogs;
}
namespace fq::ui::qt {
class HoverRules;
class PopupButton;
} // namespace fq::ui::qt

namespace fq::app {

class Form2;

// The Setup Connections window. Created once at start; its eight boxes are the live connection
// settings for every connection the program opens, so it is hidden, never closed, while the
// table manager is in use. Closing it ends the program.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    // appFolder: where HAND-M.CUR is looked for (the application's folder when empty).
    Form1(settings::SettingsStore& store, ui::Dialogs& dialogs, QString appFolder = {});
    ~Form1() override;

    // The start-up sequence: centre, hand pointer, fill the boxes from the store, and when the
    // five values the quick check needs are there and both probes succeed, the table manager
    // instead of this window. The width of the window is set at the end in every case.
    void Load();

    // The boxes' text right now.
    sql::ConnectionSettings currentSettings() const;
    // The boxes' text at the moment it is called, read on this window's thread from whichever
    // thread calls it.
    commands::SettingsSource settingsSource();

    // Runs the commands of both windows.
    CommandRunner& runner() { return runner_; }

    ui::qt::WindowPointer& pointer() { return pointer_; }
    // The table manager, once it was first shown; null before.
    Form2* tableManager() const { return form2_.get(); }

    // Shows the table manager (creating and loading it the first time) and hides this window.
    void showTableManager();
    // Ends the program: both windows go at once; a command that is running stops after the
    // statement it is waiting for, and then the program ends.
    void endProgram();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    // Both probes, on the command runner: MySQL first, SQL Server only when MySQL answered.
    bool bothProbesSucceed(const sql::ConnectionSettings& s);
    void okPressed();
    // Writes one box's text through to its key; a store that cannot be written is reported once.
    void storeSetting(const QString& key, const QString& value);
    void setFinalWidth();
    // Left plus right frame of the window in pixels (0 where the platform has none).
    int frameWidth();

    settings::SettingsStore& store_;
    ui::Dialogs& dialogs_;
    QString appFolder_;
    ui::qt::WindowPointer pointer_;
    CommandRunner runner_{dialogs_};
    ui::qt::UiThreadPointer workerPointer_{pointer_, runner_.uiThread()};
    ui::qt::HoverRules* hover_ = nullptr;
    std::unique_ptr<Form2> form2_;

    // Each control's objectName is its name of old (Frame1, Text1, Check3, ...).
    QGroupBox* mysqlFrame_ = nullptr;                // Frame1
    QGroupBox* mssqlFrame_ = nullptr;                // Frame2
    std::array<QLineEdit*, 8> boxes_{};              // Text1 .. Text8
    std::array<QLabel*, 8> labels_{};                // their labels
    ui::qt::PopupButton* testMysqlButton_ = nullptr; // Check3
    ui::qt::PopupButton* testMssqlButton_ = nullptr; // Check1
    ui::qt::PopupButton* okButton_ = nullptr;        // Check2
    bool storeFailureShown_ = false;
};

} // namespace fq::app
