#include "app/Form2.h"

#include "app/Form1.h"
#include "app/WindowLook.h"
#include "db/CommandContext.h"
#include "db/Listing.h"
#include "db/MSSQL.h"
#include "db/MySQL.h"
#include "transfer/SendTables.h"
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

void selectAll(ui::TableList& list, bool selected) {
    for (int p = 0; p < list.ListCount(); ++p)
        list.SetSelected(p, selected);
}

} // namespace

Form2::Form2(Form1& setup, ui::Dialogs& dialogs, QString appFolder)
    : setup_(setup), dialogs_(dialogs), appFolder_(std::move(appFolder)), pointer_(*this) {
    setObjectName(QStringLiteral("Form2"));
    setWindowIcon(fernquillIcon());
    setFont(arial9(false));
    buildControls();
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
    Frame1 = frame("Frame1", "MySQL Tables", 120);
    fraTables = frame("fraTables", "MS SQL Server Tables", 3720);

    const auto list = [](const char* name, QWidget* parent, double width) {
        auto* l = new ui::qt::QtTableList(parent);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(arial9(true));
        setTwipsGeometry(*l, 240, 360, width, 1635);
        return l;
    };
    List3 = list("List3", Frame1, 3015);
    List1 = list("List1", fraTables, 2970);

    const auto button = [](const char* name, const char* caption, QWidget* parent, double left,
                           double top, double width) {
        auto* b = new ui::qt::PopupButton(QString::fromUtf8(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(arial9(true));
        b->setIcon(fernquillIcon());
        paintWhite(*b);
        setTwipsGeometry(*b, left, top, width, 375);
        return b;
    };
    Check10 = button("Check10", "Select All", Frame1, 240, 2160, 1455);
    Check11 = button("Check11", "Deselect All", Frame1, 1800, 2160, 1455);
    Check4 = button("Check4", "Send Table(s) to MS SQL Server", Frame1, 240, 2640, 3015);
    Check5 = button("Check5", "Delete Table(s)", Frame1, 240, 3120, 3015);
    Check7 = button("Check7", "Rename Table", Frame1, 240, 3600, 3015);
    Check8 = button("Check8", "Select All", fraTables, 240, 2160, 1455);
    Check9 = button("Check9", "Deselect All", fraTables, 1800, 2160, 1455);
    Check3 = button("Check3", "Send Table(s) to MySQL", fraTables, 240, 2640, 3015);
    Check1 = button("Check1", "Delete Table(s)", fraTables, 240, 3120, 3015);
    Check6 = button("Check6", "Rename Table", fraTables, 240, 3600, 3015);
    // "&&" shows as one ampersand; a single one would mark an access key.
    Check2 = button("Check2", "Setup MySQL && MS SQL Server Connections", this, 120, 4440, 7095);

    const std::array<QWidget*, 13> order{List1,   Check8, Check9, Check3, Check1, List3, Check10,
                                         Check11, Check2, Check6, Check7, Check5, Check4};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    hover_ = new HoverRules(pointer_, this);
    for (ui::qt::PopupButton* b :
         {Check1, Check2, Check3, Check4, Check5, Check6, Check7, Check8, Check9, Check10, Check11})
        hover_->add(*b, HoverRules::Rule::SetUnlessHourglass, ui::kPointerCustom);
    hover_->add(*Frame1, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault, false);
    hover_->add(*fraTables, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault, false);
    hover_->add(*List1, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault);
    hover_->add(*List3, HoverRules::Rule::SetUnlessHourglass, ui::kPointerDefault);
    // The bare background always gives the arrow, over the hourglass too.
    hover_->add(*this, HoverRules::Rule::Set, ui::kPointerArrow, false);
}

void Form2::connectCommands() {
    const auto context = [this] {
        return db::CommandContext{*List3, *List1, dialogs_, pointer_, setup_.settingsSource()};
    };
    Check10->onPress(this, [this] { selectAll(*List3, true); });
    Check11->onPress(this, [this] { selectAll(*List3, false); });
    Check8->onPress(this, [this] { selectAll(*List1, true); });
    Check9->onPress(this, [this] { selectAll(*List1, false); });
    Check4->onPress(this, [context] { transfer::SendTablesToMSSQL(context()); });
    Check5->onPress(this, [context] { db::DropMySQLTables(context()); });
    Check7->onPress(this, [context] { db::RenameMySQLTable(context()); });
    Check3->onPress(this, [context] { transfer::SendTablesToMySQL(context()); });
    Check1->onPress(this, [context] { db::DropMSSQLTables(context()); });
    Check6->onPress(this, [context] { db::RenameMSSQLTable(context()); });
    // Back to the setup window: this window stays loaded, with its lists as they are.
    Check2->onPress(this, [this] {
        setup_.show();
        hide();
    });
}

void Form2::Load() {
    ui::qt::CenterForm(*this);
    ui::qt::LoadHandPointer(pointer_, appFolder_);
    setWindowTitle(QStringLiteral("Fernquill"));
    const db::ConnectionSettings s = setup_.currentSettings();
    db::LoadMSSQLTables(*List1, s, dialogs_);
    db::LoadMySQLTables(*List3, s, dialogs_);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    setup_.endProgram();
}

} // namespace fq::app
