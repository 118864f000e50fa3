#include "app/Form2.h"

#include "app/Form1.h"
#include "app/WindowLook.h"
#include "commands/CommandContext.h"
#include "commands/DropTables.h"
#include "commands/RenameTable.h"
#include "commands/SendTables.h"
#include "ui/qt/Frame.h"
#include "ui/qt/HoverRules.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowServices.h"

#include <QCloseEvent>
#include <QGroupBox>

#include <array>

namespace fq::app {

namespace {

using ui::qt::HoverRules;
using ui::qt::setTwipsGeometry;

constexpr double kClientWidth = 7305;
constexpr double kClientHeight = 4935;

} // namespace

Form2::Form2(Form1& setup, ui::Dialogs& dialogs, QString appFolder)
    : setup_(setup), dialogs_(dialogs), appFolder_(std::move(appFolder)), pointer_(*this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowIcon(fernquillIcon());
    setFont(arial9(false));
    buildControls();
    ui::qt::UiThread& ui = setup_.runner().uiThread();
    workerPointer_ = std::make_unique<ui::qt::UiThreadPointer>(pointer_, ui);
    workerMysqlList_ = std::make_unique<ui::qt::UiThreadTableList>(*mysqlList_, ui);
    workerMssqlList_ = std::make_unique<ui::qt::UiThreadTableList>(*mssqlList_, ui);
    workerSettings_ = setup_.settingsSource();
    setup_.runner().addWindow(*this);
    connectCommands();
    const double dpi = ui::qt::logicalDpi(this);
    setFixedSize(ui::qt::twipsToPixels(kClientWidth, dpi),
                 ui::qt::twipsToPixels(kClientHeight, dpi));
}

Form2::~Form2() = default;

void Form2::buildControls() {
    const auto frame = [this](const char* name, const char* caption, double left) {
        auto* f = new ui::qt::Frame(QString::fromLatin1(caption), this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFont(arial9(true));
        paintWhite(*f);
        setTwipsGeometry(*f, left, 120, 3465, 4215);
        return f;
    };
    mysqlFrame_ = frame("Frame1", "MySQL Tables", 120);
    mssqlFrame_ = frame("fraTables", "MS SQL Server Tables", 3720);

    const auto list = [](const char* name, QWidget* parent, double width) {
        auto* l = new ui::qt::QtTableList(parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(arial9(true));
        setTwipsGeometry(*l, 240, 360, width, 1635);
        return l;
    };
    mysqlList_ = list("List3", mysqlFrame_, 3015);
    mssqlList_ = list("List1", mssqlFrame_, 2970);

    const auto button = [](const char* name, const char* caption, QWidget* parent, double left,
                           double top, double width) {
        auto* b = new ui::qt::PopupButton(QString::fromUtf8(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(buttonFont());
        b->setIcon(fernquillIcon());
        paintWhite(*b);
        setTwipsGeometry(*b, left, top, width, 375);
        return b;
    };
    selectAllMysqlButton_ = button("Check10", "Select All", mysqlFrame_, 240, 2160, 1455);
    deselectAllMysqlButton_ = button("Check11", "Deselect All", mysqlFrame_, 1800, 2160, 1455);
    sendToMssqlButton_ =
        button("Check4", "Send Table(s) to MS SQL Server", mysqlFrame_, 240, 2640, 3015);
    deleteMysqlButton_ = button("Check5", "Delete Table(s)", mysqlFrame_, 240, 3120, 3015);
    renameMysqlButton_ = button("Check7", "Rename Table", mysqlFrame_, 240, 3600, 3015);
    selectAllMssqlButton_ = button("Check8", "Select All", mssqlFrame_, 240, 2160, 1455);
    deselectAllMssqlButton_ = button("Check9", "Deselect All", mssqlFrame_, 1800, 2160, 1455);
    sendToMysqlButton_ = button("Check3", "Send Table(s) to MySQL", mssqlFrame_, 240, 2640, 3015);
    deleteMssqlButton_ = button("Check1", "Delete Table(s)", mssqlFrame_, 240, 3120, 3015);
    renameMssqlButton_ = button("Check6", "Rename Table", mssqlFrame_, 240, 3600, 3015);
    // "&&" shows as one ampersand; a single one would mark an access key.
    setupButton_ =
        button("Check2", "Setup MySQL && MS SQL Server Connections", this, 120, 4440, 7095);

    const std::array<QWidget*, 13> order{mssqlList_,
                                         selectAllMssqlButton_,
                                         deselectAllMssqlButton_,
                                         sendToMysqlButton_,
                                         deleteMssqlButton_,
                                         mysqlList_,
                                         selectAllMysqlButton_,
                                         deselectAllMysqlButton_,
                                         setupButton_,
                                         renameMssqlButton_,
                                         renameMysqlButton_,
                                         deleteMysqlButton_,
                                         sendToMssqlButton_};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    hover_ = new HoverRules(pointer_, this);
    for (ui::qt::PopupButton* b :
         {deleteMssqlButton_, setupButton_, sendToMysqlButton_, sendToMssqlButton_,
          deleteMysqlButton_, renameMssqlButton_, renameMysqlButton_, selectAllMssqlButton_,
          deselectAllMssqlButton_, selectAllMysqlButton_, deselectAllMysqlButton_})
        hover_->add(*b, HoverRules::Rule::SetUnlessHourglass, ui::kPointerCustom);
    hover_->add(*mysqlFrame_, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault, false);
    hover_->add(*mssqlFrame_, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault, false);
    hover_->add(*mssqlList_, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault);
    hover_->add(*mysqlList_, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault);
    // The bare background always gives the arrow, over the hourglass too.
    hover_->add(*this, HoverRules::Rule::Set, ui::kPointerArrow, false);
}

commands::CommandContext Form2::workerContext() {
    CommandRunner& runner = setup_.runner();
    return commands::CommandContext{*workerMysqlList_, *workerMssqlList_, runner.dialogs(),
                                    *workerPointer_,   workerSettings_,   &runner.progress()};
}

void Form2::connectCommands() {
    using Command = void (*)(const commands::CommandContext&);
    // A command is named as its button is, with the list it acts on where both lists have one.
    const auto onWorker = [this](CommandRunner::Kind kind, Command command, const QString& name) {
        return [this, kind, command, name] {
            setup_.runner().run(*this, kind, name, [this, command] { command(workerContext()); });
        };
    };
    const auto named = [](const char* caption) {
        return QStringLiteral("\"%1\"").arg(QLatin1String(caption));
    };
    const auto ofList = [named](const char* caption, const char* list) {
        return named(caption) + QStringLiteral(" of the %1 tables").arg(QLatin1String(list));
    };
    const auto copy = CommandRunner::Kind::Copy;
    const auto plain = CommandRunner::Kind::Plain;
    selectAllMysqlButton_->onPress(this, [this] { mysqlList_->setAllSelected(true); });
    deselectAllMysqlButton_->onPress(this, [this] { mysqlList_->setAllSelected(false); });
    selectAllMssqlButton_->onPress(this, [this] { mssqlList_->setAllSelected(true); });
    deselectAllMssqlButton_->onPress(this, [this] { mssqlList_->setAllSelected(false); });
    sendToMssqlButton_->onPress(this, onWorker(copy, &commands::SendTablesToMSSQL,
                                               named("Send Table(s) to MS SQL Server")));
    deleteMysqlButton_->onPress(
        this, onWorker(plain, &commands::DropMySQLTables, ofList("Delete Table(s)", "MySQL")));
    renameMysqlButton_->onPress(
        this, onWorker(plain, &commands::RenameMySQLTable, ofList("Rename Table", "MySQL")));
    sendToMysqlButton_->onPress(
        this, onWorker(copy, &commands::SendTablesToMySQL, named("Send Table(s) to MySQL")));
    deleteMssqlButton_->onPress(this, onWorker(plain, &commands::DropMSSQLTables,
                                               ofList("Delete Table(s)", "MS SQL Server")));
    renameMssqlButton_->onPress(this, onWorker(plain, &commands::RenameMSSQLTable,
                                               ofList("Rename Table", "MS SQL Server")));
    // Back to the setup window: this window stays loaded, with its lists as they are.
    setupButton_->onPress(this, [this] {
        setup_.show();
        hide();
    });
}

void Form2::Load() {
    ui::qt::CenterForm(*this);
    ui::qt::LoadHandPointer(pointer_, appFolder_);
    setWindowTitle(QStringLiteral("Fernquill"));
    const sql::ConnectionSettings s = setup_.currentSettings();
    CommandRunner& runner = setup_.runner();
    runner.run(*this, CommandRunner::Kind::Plain,
               QStringLiteral("listing the tables of both databases"), [this, &s, &runner] {
                   listing_.LoadMSSQLTables(*workerMssqlList_, s, runner.dialogs());
                   listing_.LoadMySQLTables(*workerMysqlList_, s, runner.dialogs());
               });
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    setup_.endProgram();
}

} // namespace fq::app
