#include "app/Form1.h"
#include "app/Terminal.h"
#include "app/TerminalRunner.h"
#include "app/WindowLook.h"
#include "settings/SettingsStore.h"
#include "ui/qt/QtDialogs.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    // With arguments, a command in the terminal: no window, and no display needed.
    if (argc > 1) {
        fq::app::TerminalRunner::takeStopSignals();
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Fernquill"));
        return fq::app::runTerminal(QCoreApplication::arguments().mid(1));
    }
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
