#pragma once

#include "commands/CommandContext.h"
#include "commands/Listing.h"
#include "ui/qt/UiThread.h"
#include "ui/qt/WindowPointer.h"

#include <QString>
#include <QWidget>

#include <memory>

class QGroupBox;

namespace fq::ui {
class Dialogs;
}
namespace fq::ui::qt {
class HoverRules;
class PopupButton;
class QtTableList;
} // namespace fq::ui::qt

namespace fq::app {

class Form1;

// The table manager: the MySQL tables on the left (List3), the SQL Server tables on the right
// (List1), each with its own buttons, and the way back to the setup window below. Created and
// loaded the first time it is shown; hidden, not closed, while the setup window is in use.
// Closing it ends the program.
class Form2 final : public QWidget {
    Q_OBJECT
public:
    Form2(Form1& setup, ui::Dialogs& dialogs, QString appFolder = {});
    ~Form2() override;

    // The load: centre, hand pointer, caption, then the SQL Server list and the MySQL list, read
    // on the command runner's worker.
    void Load();

    ui::qt::WindowPointer& pointer() { return pointer_; }
    ui::qt::QtTableList& mysqlList() { return *mysqlList_; }
    ui::qt::QtTableList& mssqlList() { return *mssqlList_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectCommands();
    // What a command running on the worker thread touches: the lists, pointer and boxes through
    // seams that act on this window's thread.
    commands::CommandContext workerContext();

    Form1& setup_;
    ui::Dialogs& dialogs_;
    QString appFolder_;
    ui::qt::WindowPointer pointer_;
    std::unique_ptr<ui::qt::UiThreadPointer> workerPointer_;
    std::unique_ptr<ui::qt::UiThreadTableList> workerMysqlList_;
    std::unique_ptr<ui::qt::UiThreadTableList> workerMssqlList_;
    commands::SettingsSource workerSettings_;
    ui::qt::HoverRules* hover_ = nullptr;
    // The listing connection stays open, idle, as long as the table manager.
    commands::TableListing listing_;

    // Each control's objectName is its name of old (Frame1, List3, Check4, ...).
    QGroupBox* mysqlFrame_ = nullptr;                       // Frame1
    QGroupBox* mssqlFrame_ = nullptr;                       // fraTables
    ui::qt::QtTableList* mysqlList_ = nullptr;              // List3
    ui::qt::QtTableList* mssqlList_ = nullptr;              // List1
    ui::qt::PopupButton* selectAllMysqlButton_ = nullptr;   // Check10
    ui::qt::PopupButton* deselectAllMysqlButton_ = nullptr; // Check11
    ui::qt::PopupButton* sendToMssqlButton_ = nullptr;      // Check4
    ui::qt::PopupButton* deleteMysqlButton_ = nullptr;      // Check5
    ui::qt::PopupButton* renameMysqlButton_ = nullptr;      // Check7
    ui::qt::PopupButton* selectAllMssqlButton_ = nullptr;   // Check8
    ui::qt::PopupButton* deselectAllMssqlButton_ = nullptr; // Check9
    ui::qt::PopupButton* sendToMysqlButton_ = nullptr;      // Check3
    ui::qt::PopupButton* deleteMssqlButton_ = nullptr;      // Check1
    ui::qt::PopupButton* renameMssqlButton_ = nullptr;      // Check6
    ui::qt::PopupButton* setupButton_ = nullptr;            // Check2
};

} // namespace fq::app
