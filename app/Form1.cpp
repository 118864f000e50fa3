#include "app/Form1.h"

#include "app/Form2.h"
#include "app/WindowLook.h"
#include "commands/Probes.h"
#include "settings/SettingsStore.h"
#include "ui/Dialogs.h"
#include "ui/qt/Frame.h"
#include "ui/qt/HoverRules.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWindow>

#include <limits>

namespace fq::app {

namespace {

using ui::qt::HoverRules;
using ui::qt::setTwipsGeometry;

// Client area of the window, in twips.
constexpr double kClientWidth = 6390;
constexpr double kClientHeight = 6600;

// One text box with its label: the setting it shows and where both stand in their frame.
struct BoxRow {
    const char* textName;
    const char* key;
    const char* labelName;
    const char* caption;
    double top; // of the box; its label stands 45 twips lower
    double labelWidth;
    bool masked;
};

constexpr std::array<BoxRow, 8> kBoxes{{
    {"Text1", "MyServer", "Label2", "Server:", 360, 1095, false},
    {"Text2", "MyUser", "Label1", "Username:", 840, 1095, false},
    {"Text3", "MyPassword", "Label4", "Password:", 1320, 1095, true},
    {"Text4", "MyDatabase", "Label3", "Database:", 1800, 975, false},
    {"Text5", "MSServer", "Label6", "Server:", 360, 1095, false},
    {"Text6", "MSUser", "Label5", "Username:", 840, 1095, false},
    {"Text7", "MSPassword", "Label8", "Password:", 1320, 1095, true},
    {"Text8", "MSDatabase", "Label7", "Database:", 1800, 975, false},
}};

} // namespace

Form1::Form1(settings::SettingsStore& store, ui::Dialogs& dialogs, QString appFolder)
    : store_(store), dialogs_(dialogs), appFolder_(std::move(appFolder)), pointer_(*this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Setup Connections"));
    setWindowIcon(fernquillIcon());
    setFont(arial9(false));
    paintWhite(*this);
    buildControls();
    runner_.addWindow(*this);
    const double dpi = ui::qt::logicalDpi(this);
    setFixedSize(ui::qt::twipsToPixels(kClientWidth, dpi),
                 ui::qt::twipsToPixels(kClientHeight, dpi));
}

Form1::~Form1() = default;

void Form1::buildControls() {
    const auto frame = [this](const char* name, const char* caption, double top) {
        auto* f = new ui::qt::Frame(QString::fromLatin1(caption), this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFont(arial9(true));
        paintWhite(*f);
        setTwipsGeometry(*f, 120, top, 6135, 2895);
        return f;
    };
    mysqlFrame_ = frame("Frame1", "MySQL Database", 120);
    mssqlFrame_ = frame("Frame2", "MS SQL Server Database", 3120);

    for (std::size_t i = 0; i < kBoxes.size(); ++i) {
        const BoxRow& row = kBoxes.at(i);
        QGroupBox* inFrame = i < 4 ? mysqlFrame_ : mssqlFrame_;

        auto* label = new QLabel(QString::fromLatin1(row.caption), inFrame);
        label->setObjectName(QString::fromLatin1(row.labelName));
        label->setFont(arial9(true));
        paintWhite(*label);
        setTwipsGeometry(*label, 240, row.top + 45, row.labelWidth, 255);
        labels_.at(i) = label;

        auto* box = new QLineEdit(inFrame);
        box->setObjectName(QString::fromLatin1(row.textName));
        box->setFont(arial9(true));
        box->setMaxLength(std::numeric_limits<int>::max());
        paintWhite(*box);
        if (row.masked) {
            box->setEchoMode(QLineEdit::Password);
            // One "*" for every character typed, whatever the platform style's mask would be.
            box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
        }
        setTwipsGeometry(*box, 1320, row.top, 4575, 330);
        // Every change of a box is written straight through to its key.
        const QString key = QString::fromLatin1(row.key);
        connect(box, &QLineEdit::textChanged, this,
                [this, key](const QString& text) { storeSetting(key, text); });
        boxes_.at(i) = box;
    }

    const auto button = [](const char* name, const char* caption, QWidget* parent) {
        auto* b = new ui::qt::PopupButton(QString::fromLatin1(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(buttonFont());
        b->setIcon(fernquillIcon());
        paintWhite(*b);
        return b;
    };
    // The MySQL test button belongs to the window; it stands where testMssqlButton_ stands in its
    // frame.
    testMysqlButton_ = button("Check3", "Test Connection", this);
    setTwipsGeometry(*testMysqlButton_, 240, 2400, 5775, 375);
    testMysqlButton_->raise();
    testMssqlButton_ = button("Check1", "Test Connection", mssqlFrame_);
    setTwipsGeometry(*testMssqlButton_, 120, 2280, 5775, 375);
    okButton_ = button("Check2", "OK", this);
    setTwipsGeometry(*okButton_, 120, 6120, 6135, 375);

    const auto testConnection = [this](Server server) {
        const sql::ConnectionSettings s = currentSettings();
        const QString command = server == Server::MySQL
                                    ? QStringLiteral("\"Test Connection\" of the MySQL database")
                                    : QStringLiteral("\"Test Connection\" of the MS SQL Server "
                                                     "database");
        runner_.run(*this, CommandRunner::Kind::Plain, command, [this, server, &s] {
            commands::TestConnection(server, s, runner_.dialogs(), workerPointer_);
        });
    };
    testMysqlButton_->onPress(this, [testConnection] { testConnection(Server::MySQL); });
    testMssqlButton_->onPress(this, [testConnection] { testConnection(Server::MSSQL); });
    okButton_->onPress(this, [this] { okPressed(); });

    // Keyboard focus: the MySQL boxes, its test button, OK, then the SQL Server boxes and their
    // test button.
    const std::array<QWidget*, 11> order{boxes_[0],        boxes_[1], boxes_[2],       boxes_[3],
                                         testMysqlButton_, okButton_, boxes_[4],       boxes_[5],
                                         boxes_[6],        boxes_[7], testMssqlButton_};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    hover_ = new HoverRules(pointer_, this);
    for (QWidget* b : {static_cast<QWidget*>(testMssqlButton_), static_cast<QWidget*>(okButton_),
                       static_cast<QWidget*>(testMysqlButton_)})
        hover_->add(*b, HoverRules::Rule::Set, ui::kPointerCustom);
    hover_->add(*this, HoverRules::Rule::Set, ui::kPointerArrow, false);
    hover_->add(*mysqlFrame_, HoverRules::Rule::Set, ui::kPointerArrow, false);
    hover_->add(*mssqlFrame_, HoverRules::Rule::Set, ui::kPointerArrow, false);
    for (QLineEdit* box : boxes_)
        hover_->add(*box, HoverRules::Rule::Set, ui::kPointerDefault);
    for (QLabel* label : labels_)
        hover_->add(*label, HoverRules::Rule::None);
}

sql::ConnectionSettings Form1::currentSettings() const {
    sql::ConnectionSettings s;
    s.myServer = boxes_[0]->text();
    s.myUser = boxes_[1]->text();
    s.myPassword = boxes_[2]->text();
    s.myDatabase = boxes_[3]->text();
    s.msServer = boxes_[4]->text();
    s.msUser = boxes_[5]->text();
    s.msPassword = boxes_[6]->text();
    s.msDatabase = boxes_[7]->text();
    return s;
}

commands::SettingsSource Form1::settingsSource() {
    return [this] { return runner_.uiThread().call([this] { return currentSettings(); }); };
}

bool Form1::bothProbesSucceed(const sql::ConnectionSettings& s) {
    bool both = false;
    runner_.run(
        *this, CommandRunner::Kind::Plain, QStringLiteral("the start-up check of both connections"),
        [&both, &s] { both = commands::CanConnectMySQL(s) && commands::CanConnectMSSQL(s); });
    return both;
}

void Form1::Load() {
    ui::qt::CenterForm(*this);
    ui::qt::LoadHandPointer(pointer_, appFolder_);
    for (std::size_t i = 0; i < kBoxes.size(); ++i)
        boxes_.at(i)->setText(store_.Read(QString::fromLatin1(kBoxes.at(i).key)));

    // Quick check: the four MySQL values and the SQL Server name; the other three SQL Server
    // values are not looked at.
    bool opened = false;
    const bool complete = !boxes_[0]->text().isEmpty() && !boxes_[1]->text().isEmpty() &&
                          !boxes_[2]->text().isEmpty() && !boxes_[3]->text().isEmpty() &&
                          !boxes_[4]->text().isEmpty();
    if (complete && bothProbesSucceed(currentSettings())) {
        showTableManager();
        opened = true;
    }
    setFinalWidth();
    if (!opened)
        show();
}

void Form1::setFinalWidth() {
    // The left edge of mysqlFrame_ plus its width plus 240 twips, as the window's outer width: the
    // client area gets that less the window frame, as far as the platform tells it.
    const double dpi = ui::qt::logicalDpi(this);
    const int outer = ui::qt::twipsToPixels(120 + 6135 + 240, dpi);
    setFixedWidth(outer - frameWidth());
}

int Form1::frameWidth() {
    winId(); // the platform window, which knows its frame
    const QWindow* window = windowHandle();
    if (window == nullptr)
        return 0;
    const QMargins margins = window->frameMargins();
    return margins.left() + margins.right();
}

void Form1::storeSetting(const QString& key, const QString& value) {
    if (store_.Write(key, value) || storeFailureShown_)
        return;
    storeFailureShown_ = true;
    dialogs_.MsgBox(QStringLiteral("The connection settings could not be stored in %1. The boxes "
                                   "keep what you typed until Fernquill ends, but the next start "
                                   "will not find it.")
                        .arg(store_.location()),
                    ui::kOkOnly);
}

void Form1::okPressed() {
    // Settings that do not work leave this window as it is, with a message that names the
    // database that failed. Closed while the probes ran: the program ends instead.
    const sql::ConnectionSettings s = currentSettings();
    bool confirmed = false;
    runner_.run(
        *this, CommandRunner::Kind::Plain, QStringLiteral("\"OK\""),
        [this, &confirmed, &s] { confirmed = commands::ConfirmConnections(s, runner_.dialogs()); });
    if (confirmed && !runner_.ending())
        showTableManager();
}

void Form1::showTableManager() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(*this, dialogs_, appFolder_);
        form2_->Load();
        if (runner_.ending()) // closed while the lists were read
            return;
    }
    form2_->show();
    hide();
}

void Form1::endProgram() {
    // Every window of the program goes, shown or hidden; nothing is asked.
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    runner_.endProgram();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    endProgram();
}

} // namespace fq::app
