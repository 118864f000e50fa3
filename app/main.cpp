#include "app/Form1.h"
#include "app/WindowLook.h"
#include "settings/SettingsStore.h"
#include "ui/qt/QtDialogs.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernquill"));
    QApplication::setWindowIcon(fq::app::fernquillIcon());

    fq::settings::SettingsStore store;
    fq::ui::qt::QtDialogs dialogs;
    fq::app::Form1 form1(store, dialogs);
    dialogs.setParentWindow(&form1);
    form1.Load();
    return QApplication::exec();
}
