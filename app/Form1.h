#pragma once

#include "db/ConnectionSettings.h"
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
    db::ConnectionSettings currentSettings() const;
    db::SettingsSource settingsSource() const;

    ui::qt::WindowPointer& pointer() { return pointer_; }
    // The table manager, once it was first shown; null before.
    Form2* tableManager() const { return form2_.get(); }

    // Shows the table manager (creating and loading it the first time) and hides this window.
    void showTableManager();
    // Ends the program: both windows go.
    void endProgram();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Check2_Click();
    void setFinalWidth();
    // Left plus right frame of the window in pixels (0 where the platform has none).
    int frameWidth();

    settings::SettingsStore& store_;
    ui::Dialogs& dialogs_;
    QString appFolder_;
    ui::qt::WindowPointer pointer_;
    ui::qt::HoverRules* hover_ = nullptr;
    std::unique_ptr<Form2> form2_;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    std::array<QLineEdit*, 8> text_{}; // Text1 .. Text8
    std::array<QLabel*, 8> label_{};   // Label1 .. Label8
    ui::qt::PopupButton* Check1 = nullptr;
    ui::qt::PopupButton* Check2 = nullptr;
    ui::qt::PopupButton* Check3 = nullptr;
};

} // namespace fq::app
