#pragma once

#include "ui/qt/WindowPointer.h"

#include <QString>
#include <QWidget>

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

    // The load: centre, hand pointer, caption, then the SQL Server list and the MySQL list.
    void Load();

    ui::qt::WindowPointer& pointer() { return pointer_; }
    ui::qt::QtTableList& mysqlList() { return *List3; }
    ui::qt::QtTableList& mssqlList() { return *List1; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectCommands();

    Form1& setup_;
    ui::Dialogs& dialogs_;
    QString appFolder_;
    ui::qt::WindowPointer pointer_;
    ui::qt::HoverRules* hover_ = nullptr;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* fraTables = nullptr;
    ui::qt::QtTableList* List3 = nullptr;
    ui::qt::QtTableList* List1 = nullptr;
    ui::qt::PopupButton* Check1 = nullptr;
    ui::qt::PopupButton* Check2 = nullptr;
    ui::qt::PopupButton* Check3 = nullptr;
    ui::qt::PopupButton* Check4 = nullptr;
    ui::qt::PopupButton* Check5 = nullptr;
    ui::qt::PopupButton* Check6 = nullptr;
    ui::qt::PopupButton* Check7 = nullptr;
    ui::qt::PopupButton* Check8 = nullptr;
    ui::qt::PopupButton* Check9 = nullptr;
    ui::qt::PopupButton* Check10 = nullptr;
    ui::qt::PopupButton* Check11 = nullptr;
};

} // namespace fq::app
