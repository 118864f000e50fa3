#include "app/Form1.h"

#include "app/Form2.h"
#include "app/WindowLook.h"
#include "db/Probes.h"
#include "settings/SettingsStore.h"
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
    Frame1 = frame("Frame1", "MySQL Database", 120);
    Frame2 = frame("Frame2", "MS SQL Server Database", 3120);

    for (std::size_t i = 0; i < kBoxes.size(); ++i) {
        const BoxRow& row = kBoxes.at(i);
        QGroupBox* inFrame = i < 4 ? Frame1 : Frame2;

        auto* label = new QLabel(QString::fromLatin1(row.caption), inFrame);
        label->setObjectName(QString::fromLatin1(row.labelName));
        label->setFont(arial9(true));
        paintWhite(*label);
        setTwipsGeometry(*label, 240, row.top + 45, row.labelWidth, 255);
        label_.at(i) = label;

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
                [this, key](const QString& text) { store_.Write(key, text); });
        text_.at(i) = box;
    }

    const auto button = [](const char* name, const char* caption, QWidget* parent) {
        auto* b = new ui::qt::PopupButton(QString::fromLatin1(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(arial9(true));
        b->setIcon(fernquillIcon());
        paintWhite(*b);
        return b;
    };
    // The MySQL test button belongs to the window; it stands where Check1 stands in its frame.
    Check3 = button("Check3", "Test Connection", this);
    setTwipsGeometry(*Check3, 240, 2400, 5775, 375);
    Check3->raise();
    Check1 = button("Check1", "Test Connection", Frame2);
    setTwipsGeometry(*Check1, 120, 2280, 5775, 375);
    Check2 = button("Check2", "OK", this);
    setTwipsGeometry(*Check2, 120, 6120, 6135, 375);

    Check3->onPress(this, [this] {
        db::TestConnection(db::Server::MySQL, currentSettings(), dialogs_, pointer_);
    });
    Check1->onPress(this, [this] {
        db::TestConnection(db::Server::MSSQL, currentSettings(), dialogs_, pointer_);
    });
    Check2->onPress(this, [this] { Check2_Click(); });

    // Keyboard focus: the MySQL boxes, its test button, OK, then the SQL Server boxes and their
    // test button.
    const std::array<QWidget*, 11> order{text_[0], text_[1], text_[2], text_[3], Check3, Check2,
                                         text_[4], text_[5], text_[6], text_[7], Check1};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    hover_ = new HoverRules(pointer_, this);
    for (QWidget* b : {static_cast<QWidget*>(Check1), static_cast<QWidget*>(Check2),
                       static_cast<QWidget*>(Check3)})
        hover_->add(*b, HoverRules::Rule::Set, ui::kPointerCustom);
    hover_->add(*this, HoverRules::Rule::Set, ui::kPointerArrow, false);
    hover_->add(*Frame1, HoverRules::Rule::Set, ui::kPointerArrow, false);
    hover_->add(*Frame2, HoverRules::Rule::Set, ui::kPointerArrow, false);
    for (QLineEdit* box : text_)
        hover_->add(*box, HoverRules::Rule::Set, ui::kPointerDefault);
    for (QLabel* label : label_)
        hover_->add(*label, HoverRules::Rule::None);
}

db::ConnectionSettings Form1::currentSettings() const {
    db::ConnectionSettings s;
    s.myServer = text_[0]->text();
    s.myUser = text_[1]->text();
    s.myPassword = text_[2]->text();
    s.myDatabase = text_[3]->text();
    s.msServer = text_[4]->text();
    s.msUser = text_[5]->text();
    s.msPassword = text_[6]->text();
    s.msDatabase = text_[7]->text();
    return s;
}

db::SettingsSource Form1::settingsSource() const {
    return [this] { return currentSettings(); };
}

void Form1::Load() {
    ui::qt::CenterForm(*this);
    ui::qt::LoadHandPointer(pointer_, appFolder_);
    for (std::size_t i = 0; i < kBoxes.size(); ++i)
        text_.at(i)->setText(store_.Read(QString::fromLatin1(kBoxes.at(i).key)));

    // Quick check: the four MySQL values and the SQL Server name; the other three SQL Server
    // values are not looked at.
    bool opened = false;
    const bool complete = !text_[0]->text().isEmpty() && !text_[1]->text().isEmpty() &&
                          !text_[2]->text().isEmpty() && !text_[3]->text().isEmpty() &&
                          !text_[4]->text().isEmpty();
    if (complete) {
        const db::ConnectionSettings s = currentSettings();
        if (db::CanConnectMySQL(s) && db::CanConnectMSSQL(s)) {
            showTableManager();
            opened = true;
        }
    }
    setFinalWidth();
    if (!opened)
        show();
}

void Form1::setFinalWidth() {
    // The left edge of Frame1 plus its width plus 240 twips, as the window's outer width: the
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

void Form1::Check2_Click() {
    const db::ConnectionSettings s = currentSettings();
    if (db::CanConnectMySQL(s) && db::CanConnectMSSQL(s))
        showTableManager();
}

void Form1::showTableManager() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(*this, dialogs_, appFolder_);
        form2_->Load();
    }
    form2_->show();
    hide();
}

void Form1::endProgram() {
    // Every window of the program goes, shown or hidden.
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::quit();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    endProgram();
}

} // namespace fq::app
