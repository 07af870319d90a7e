#include "gui/MainWindow.h"
#include "driver/Driver.h"
#include "driver/JobCycle.h"
#include "driver/Simulation.h"
#include "gui/AboutWindow.h"
#include "gui/RollView.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "settings/OptionFiles.h"
#include "settings/OptionTable.h"
#include "support/EventLoop.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>

namespace tavor1 {
namespace {

using test::waitUntil;

class WindowFixture {
protected:
    explicit WindowFixture(const char* channels = "1100\r\n")
    {
        writeFileBytes(joinPath(config.path(), "TVCHKCOM.TXT"), channels);
    }

    void startWindow(DriverConfig c = {}, Simulation* simulation = nullptr, int closingPauseMs = 0)
    {
        window.reset();
        driver.reset();
        c.programDir = config.path();
        c.dataDir = data.path();
        c.closingPauseMs = closingPauseMs;
        driver = std::make_unique<Driver>(c, sink, SystemClock::instance());
        window = std::make_unique<MainWindow>(*driver, simulation);
        window->start();
    }

    template <typename T = QWidget>
    T* child(const QString& name) const
    {
        return window->findChild<T*>(name);
    }

    std::string dataFile(const char* name) const { return joinPath(data.path(), name); }

    test::TempDir config;
    test::TempDir data;
    NullMessageSink sink;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<MainWindow> window;
};

class MainWindowTest : public WindowFixture, public ::testing::Test {
protected:
    MainWindowTest() { startWindow(); }
};

// ---- every option of the option table is a control of the window

// A port on this machine that nothing listens on: a window loaded with a
// register address tries it and is refused at once.
std::uint16_t closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// A value the row takes that differs from the one `options` holds, as the row
// lists it: the other state of a box, another list entry, interval or address.
std::string otherValue(const OptionRow& row, const Options& options)
{
    for (const char* candidate : {"1", "0", "30", "10", "127.0.0.2"}) {
        Options probe = options;
        if (row.set(probe, candidate).empty() && row.get(probe) != row.get(options))
            return row.get(probe);
    }
    return {};
}

// The text that names a control on screen: its own caption, else the label
// it is the buddy of (without its spaces), else its tool tip.
struct ShownCaption {
    QString text;
    bool onLabel = false;
};

ShownCaption shownCaption(const QWidget& window, QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control); button && !button->text().isEmpty())
        return {button->text()};
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->buddy() == control)
            return {label->text().remove(' '), true};
    return {control->toolTip()};
}

// The control's value as the option table lists it.
std::string shownValue(QWidget* control)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->isChecked() ? "1" : "0";
    if (auto* list = qobject_cast<QComboBox*>(control))
        return list->currentText().toStdString();
    if (auto* box = qobject_cast<QLineEdit*>(control))
        return box->text().toStdString();
    return "<" + std::string(control->metaObject()->className()) + " shows no option>";
}

// The other choice of a pair of option buttons (OptionSLOW beside OptionFAST).
QRadioButton* partner(QRadioButton* button)
{
    for (QRadioButton* other : button->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        if (other != button)
            return other;
    return nullptr;
}

// Puts a value in through the control, as the operator would.
void enter(QWidget& window, QWidget* control, const std::string& value)
{
    if (auto* choice = qobject_cast<QRadioButton*>(control)) {
        QRadioButton* target = value == "1" ? choice : partner(choice);
        ASSERT_NE(target, nullptr) << "no other choice beside " << control->objectName().toStdString();
        target->click();
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        if (shownValue(box) != value)
            box->click();
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        const int index = list->findText(QString::fromStdString(value));
        ASSERT_GE(index, 0) << "the list has no entry \"" << value << "\"";
        list->setCurrentIndex(index);
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setText(QString::fromStdString(value));
        emit line->editingFinished();
        // The timer's value is taken only when its button is pressed.
        if (control->objectName() == "txtTimerVal")
            window.findChild<QPushButton*>("cmdSetTimer")->click();
    }
}

class OptionControl : public WindowFixture, public ::testing::TestWithParam<OptionRow> { };

TEST_P(OptionControl, ShowsTheOptionsCaptionAndValueAndPassesAValueEnteredToTheModel)
{
    // Every option off its default, so that a control left as it was built
    // shows the wrong value.
    Options stored;
    for (const OptionRow& row : optionRows())
        ASSERT_EQ(row.set(stored, otherValue(row, Options{})), "") << row.name;
    ASSERT_TRUE(saveOptionFiles(config.path(), stored));
    ASSERT_TRUE(saveTimerFile(config.path(), stored));
    DriverConfig c;
    c.registerPort = closedPort();
    startWindow(c);

    const OptionRow& row = GetParam();
    QWidget* w = child(QString::fromStdString(row.name));
    ASSERT_NE(w, nullptr) << "the window has no control for the option " << row.name;
    const ShownCaption caption = shownCaption(*window, w);
    // A label may space the name out: "COM 1" names the channel listed as COM1.
    QString expected = QString::fromStdString(row.caption);
    EXPECT_EQ(caption.text, caption.onLabel ? expected.remove(' ') : expected);
    EXPECT_EQ(shownValue(w), row.get(stored));

    // Off their default the channels are out of service: every option can be changed.
    ASSERT_TRUE(w->isEnabled());
    const std::string value = otherValue(row, driver->options());
    enter(*window, w, value);
    EXPECT_EQ(row.get(driver->options()), value);
}

INSTANTIATE_TEST_SUITE_P(EveryOption, OptionControl, ::testing::ValuesIn(optionRows()),
                         [](const auto& info) { return info.param.name; });

// A control whose state the operator changes (not a button that acts, not a
// box that only reports).
bool operatorSets(QWidget* w)
{
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->isCheckable();
    if (auto* box = qobject_cast<QLineEdit*>(w))
        return !box->isReadOnly() && !qobject_cast<QComboBox*>(w->parentWidget());
    return qobject_cast<QComboBox*>(w) != nullptr;
}

TEST_F(MainWindowTest, EveryControlTheOperatorSetsIsAnOption)
{
    // A control outside the option table would not be saved: it would lose
    // its state at every restart.
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!operatorSets(w))
            continue;
        const std::string name = w->objectName().toStdString();
        auto* choice = qobject_cast<QRadioButton*>(w);
        const bool partnerIsAnOption =
            choice && partner(choice) && findOptionRow(partner(choice)->objectName().toStdString());
        EXPECT_TRUE(findOptionRow(name) || partnerIsAnOption) << "\"" << name << "\" is not in the option table";
    }
}

// ---- menus

// What triggering an action brought up: the text of a modal window (closed
// again at once), a window that came on screen, or the end of the driver.
std::string whatComesUp(QAction* action, Driver& driver)
{
    std::string seen;
    bool looked = false;
    QObject guard; // the look below dies with this function, fired or not
    QTimer::singleShot(0, &guard, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            seen += "modal " + (box ? box->text() : modal->windowTitle()).toStdString();
            modal->close();
        }
        looked = true;
    });
    const QWidgetList before = QApplication::topLevelWidgets();
    bool finished = false;
    QObject::connect(&driver, &Driver::finished, &guard, [&] { finished = true; });
    action->trigger();
    test::waitUntil([&] { return looked; }, 2000);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !before.contains(w))
            seen += "window " + w->windowTitle().toStdString();
    if (finished)
        seen += "driver finished";
    return seen;
}

TEST_F(MainWindowTest, EveryMenuItemIsWiredAndTheDefaultOneEndsTheDriver)
{
    Simulation simulation; // not started: only its menu item is looked at
    startWindow({}, &simulation);

    QAction* defaultItem = nullptr;
    std::map<std::string, std::string> cameUp;
    for (const MainWindow::Menu& menu : MainWindow::menus()) {
        for (const MainWindow::MenuItem& item : menu.items) {
            auto* action = child<QAction>(item.name);
            ASSERT_NE(action, nullptr) << item.name;
            if (item.isDefault) {
                // Bold in the tray's pop-up; it ends the program, so it goes last.
                EXPECT_EQ(child<QMenu>(menu.name)->defaultAction(), action);
                defaultItem = action;
            } else {
                cameUp[item.name] = whatComesUp(action, *driver);
                EXPECT_NE(cameUp[item.name], "") << item.name << " does nothing";
            }
        }
    }
    // The manual is not there: the message names the path tried.
    EXPECT_NE(cameUp["m_manual"].find(joinPath(config.path(), "mantavor1.pdf")), std::string::npos)
        << cameUp["m_manual"];
    ASSERT_NE(defaultItem, nullptr);
    EXPECT_EQ(whatComesUp(defaultItem, *driver), "driver finished");
}

// ---- controls are a view of the model

TEST_F(MainWindowTest, AtStartTheConfigurationIsLockedWhileAChannelServes)
{
    // Hosts and operators find the driver's window by its title.
    EXPECT_EQ(window->windowTitle().toStdString(), "Zef_Tavor1 per Custom  vers. RETE                  RT  V7");
    EXPECT_EQ(window->trayTip(), "Tavor1 in attesa esecuzione...");
    // Fast mode: the timer box and its button are hidden.
    ASSERT_TRUE(child("txtAppDataVista")->isVisible());
    EXPECT_FALSE(child("txtTimerVal")->isVisible());
    EXPECT_FALSE(child("cmdSetTimer")->isVisible());

    // A ticked channel locks the option frames.
    for (const char* frame : {"Frame2", "Frame3", "Frame6", "Frame4"})
        EXPECT_FALSE(child(frame)->isEnabled()) << frame;
    // "Messaggi" is locked with the others; its boxes still show their texts.
    EXPECT_EQ(child<QLineEdit>("txtAppDataVista")->text().toStdString(), data.path());

    child<QCheckBox>("Check1")->click();
    child<QCheckBox>("Check2")->click();
    for (const char* frame : {"Frame2", "Frame3", "Frame6", "Frame4"})
        EXPECT_TRUE(child(frame)->isEnabled()) << frame;

    // Slow mode shows the timer box; a value beyond 60 seconds is taken as 60.
    child<QRadioButton>("OptionSLOW")->click();
    window->showMainWindow();
    ASSERT_TRUE(child("cmdSetTimer")->isVisible());
    child<QLineEdit>("txtTimerVal")->setText("75");
    child<QPushButton>("cmdSetTimer")->click();
    EXPECT_EQ(child<QLineEdit>("txtTimerVal")->text(), "60");
    EXPECT_EQ(readFileBytes(joinPath(config.path(), "TVTIMER1.TXT")).value_or(""), "60\r\n");
}

TEST_F(MainWindowTest, TheTestButtonWritesTheTestReceiptForTheLastReadyChannel)
{
    window->showMainWindow();
    driver->state().channels[0].dumpPending = false;
    driver->state().channels[1].dumpPending = false;
    child<QPushButton>("CMBFile")->click();
    EXPECT_EQ(readFileBytes(dataFile("SR_START.002")).value_or(""), "00000000\r\n");
    EXPECT_FALSE(child<QPushButton>("CMBFile")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("Annullo")->isEnabled());
}

TEST_F(MainWindowTest, TheValidationVerdictGivesWayToTheCaptionAfterRepeatedClicks)
{
    child<QCheckBox>("Check1")->click();
    child<QCheckBox>("Check2")->click();
    auto* button = child<QPushButton>("cmdValidateIP");
    child<QLineEdit>("txtRemoteIP")->setText("256.1.1.1");
    button->click();
    EXPECT_EQ(button->text().toStdString(), "IP non Valido");
    button->click();
    ASSERT_TRUE(waitUntil([&] { return button->text() == "Valida IP"; }, 5000)) << button->text().toStdString();
    // The second click's two seconds end just after the first's.
    waitUntil([] { return false; }, 500);
    EXPECT_EQ(button->text().toStdString(), "Valida IP");
}

TEST_F(MainWindowTest, ClosingShowsTheNoticeWhileTheSequenceRuns)
{
    // Short pauses: the closing sequence runs the event loop in them, and the
    // look at the notice below runs there.
    startWindow({}, nullptr, 20);
    QString notice;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "fChiusura" && w->isVisible())
                notice = w->findChild<QLabel*>()->text();
    });
    window->terminate();
    EXPECT_EQ(notice.toStdString(), " Chiusura programma Tavor1 in corso ...");
}

TEST(AboutWindow, ShowsTheVersionWithItsZero)
{
    EXPECT_EQ(aboutVersionText(ProgramVersion{2, 1, 7}), "Versione 2.1.0.7");
}

// ---- against the simulated register

class SimulatedWindowTest : public WindowFixture, public ::testing::Test {
protected:
    SimulatedWindowTest() : WindowFixture("1000\r\n")
    {
        if (!simulation.start(std::string()))
            return;
        DriverConfig c;
        c.registerPort = simulation.registerPort();
        c.paymentUrl = simulation.paymentUrl();
        c.forcedRemoteIP = "127.0.0.1";
        startWindow(c, &simulation);
    }

    Simulation simulation;
};

TEST_F(SimulatedWindowTest, AnRTRegisterUpdatesTheOptionBoxesAndAJobShowsOnTheRollAndInTheTray)
{
    ASSERT_TRUE(window) << simulation.error();
    window->showMainWindow();
    ASSERT_TRUE(waitUntil([&] { return fileExists(dataFile("SR_MATR.001")); }, 10000));
    EXPECT_FALSE(child<QLineEdit>("Text8")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>("Text4")->text(), "DUMP ESEGUITO");
    ASSERT_TRUE(driver->facts().registerIsRT);
    EXPECT_TRUE(child<QCheckBox>("chbPagamentiEstesi")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chbInversioneScontiSuReso")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("chbInversioneScontiSuReso")->isHidden());

    child<QAction>("m_roll")->trigger();
    ASSERT_NE(window->rollView(), nullptr);
    QString tipDuringJob;
    QObject::connect(&driver->cycle(), &JobCycle::jobStarted, [&] { tipDuringJob = window->trayTip(); });
    writeFileBytes(dataFile("SR_DATI.001"), "PLUD,N1,P250,Q2,:PANE COMUNE\r\nCASH,V500\r\n");
    writeFileBytes(dataFile("SR_START.001"), "1");
    ASSERT_TRUE(waitUntil([&] { return fileExists(dataFile("FINESCO.001")) || fileExists(dataFile("SR_ERR.001")); },
                          15000));
    EXPECT_TRUE(fileExists(dataFile("FINESCO.001"))) << readFileBytes(dataFile("SR_ERR.001")).value_or("");
    EXPECT_EQ(tipDuringJob, "Tavor1 in esecuzione...");
    EXPECT_EQ(window->trayTip(), "Tavor1 in attesa esecuzione...");
    EXPECT_TRUE(window->rollView()->toPlainText().contains("PANE COMUNE")) << window->rollView()->toPlainText().toStdString();
}

} // namespace
} // namespace tavor1
